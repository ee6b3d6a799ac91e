#!/usr/bin/python3
"""A download server for the net location tests: HTTP (the standard
library's file server) or FTP (pyftpdlib) on a loopback address, serving one
directory.

    netpeer.py http|ftp ROOT ADDRESS PORT STATUS STOP OWNER

Writes "ready" into the file STATUS once it listens, or "unavailable:
<reason>" when the port can't be bound. It stops when the file STOP appears
(then STATUS says "stopped", written after the port is closed), when the
process OWNER (the test program that started it) has ended, and after
LIFETIME seconds at the latest. The FTP server takes anonymous logins and
the user "netuser" with the password "secret"."""
import functools
import logging
import os
import sys
import threading
import time

LIFETIME = 120


def write_status(path, text):
    with open(path + ".new", "w") as status:
        status.write(text)
    os.replace(path + ".new", path)


def http_server(root, address):
    from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

    class QuietHandler(SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

    return ThreadingHTTPServer(address, functools.partial(QuietHandler, directory=root))


def ftp_server(root, address):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import FTPHandler
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)
    authorizer.add_user("netuser", "secret", root, perm="elr")
    # A refused login is answered at once.
    handler = type("Handler", (FTPHandler,), {"authorizer": authorizer, "auth_failed_timeout": 0})
    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.NullHandler())
    quiet.setLevel(logging.WARNING)
    return FTPServer(address, handler)


def stop_on_request(server, status, stop, owner):
    deadline = time.monotonic() + LIFETIME
    while (not os.path.exists(stop) and os.path.exists("/proc/%s" % owner)
           and time.monotonic() < deadline):
        time.sleep(0.02)
    server.socket.close()
    write_status(status, "stopped")
    os._exit(0)


def main():
    kind, root, host, port, status, stop, owner = sys.argv[1:8]
    make = http_server if kind == "http" else ftp_server
    try:
        server = make(root, (host, int(port)))
    except OSError as error:
        write_status(status, "unavailable: %s" % error)
        return
    threading.Thread(target=stop_on_request, args=(server, status, stop, owner), daemon=True).start()
    write_status(status, "ready")
    server.serve_forever()


if __name__ == "__main__":
    main()

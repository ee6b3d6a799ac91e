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
the user "netuser" with the password "secret".

Beside STATUS, in the same folder:
- "peer-requests": the server appends the name (the last part of the path)
  of every file a client asks for, one a line, as the request comes in;
- "peer-behaviour", read at every request: lines "NAME HOW" that make the
  server misbehave on the file NAME, where HOW is
  - "cut": the server sends the first half of the file (over HTTP with
    the whole file's length in the header), then ends the transfer: over
    HTTP it closes the connection, over FTP it closes the data connection
    and answers 426;
  - "stall": the server sends the first half and then nothing more until
    it stops;
  - "slow": the server sends the file in pieces of 2048 bytes, one every
    50 milliseconds."""
import functools
import logging
import os
import socket
import sys
import threading
import time

LIFETIME = 120
SLOW_PIECE = 2048
SLOW_PAUSE = 0.05


def write_status(path, text):
    with open(path + ".new", "w") as status:
        status.write(text)
    os.replace(path + ".new", path)


class Peer:
    """What the two servers share: the request log, the misbehaviours and
    the stop request."""

    def __init__(self, status, stop):
        folder = os.path.dirname(status)
        self.requests = os.path.join(folder, "peer-requests")
        self.behaviour = os.path.join(folder, "peer-behaviour")
        self.stop = stop
        self.lock = threading.Lock()

    def note_request(self, name):
        with self.lock, open(self.requests, "a") as log:
            log.write(name + "\n")

    def behaviour_of(self, name):
        try:
            with open(self.behaviour) as lines:
                for line in lines:
                    words = line.split()
                    if len(words) == 2 and words[0] == name:
                        return words[1]
        except OSError:
            pass
        return None

    def stall(self):
        while not os.path.exists(self.stop):
            time.sleep(0.05)


def http_server(root, address, peer):
    from http.server import SimpleHTTPRequestHandler, ThreadingHTTPServer

    class Handler(SimpleHTTPRequestHandler):
        def log_message(self, *args):
            pass

        def do_GET(self):
            name = self.path.rstrip("/").rsplit("/", 1)[-1]
            peer.note_request(name)
            how = peer.behaviour_of(name)
            path = self.translate_path(self.path)
            if how is None or not os.path.isfile(path):
                return super().do_GET()
            with open(path, "rb") as served:
                data = served.read()
            self.send_response(200)
            self.send_header("Content-Type", "application/octet-stream")
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            if how == "slow":
                for at in range(0, len(data), SLOW_PIECE):
                    self.wfile.write(data[at:at + SLOW_PIECE])
                    self.wfile.flush()
                    time.sleep(SLOW_PAUSE)
                return
            self.wfile.write(data[:len(data) // 2])
            self.wfile.flush()
            if how == "stall":
                peer.stall()
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)

    return ThreadingHTTPServer(address, functools.partial(Handler, directory=root))


class HalfThenMisbehave:
    """A producer of the FTP data channel: "cut" gives the first half of
    the data, then fails, so that the data connection closes and the server
    answers 426; "slow" gives pieces with pauses between them."""

    def __init__(self, data, how):
        self.data = data
        self.how = how
        self.sent = 0

    def more(self):
        if self.how == "slow":
            if self.sent:
                time.sleep(SLOW_PAUSE)
            piece = self.data[self.sent:self.sent + SLOW_PIECE]
        elif self.sent == 0:
            piece = self.data[:len(self.data) // 2]
        else:
            raise OSError("the transfer was cut off")
        self.sent += len(piece)
        return piece


def ftp_server(root, address, peer):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler
    from pyftpdlib.servers import FTPServer

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root)
    authorizer.add_user("netuser", "secret", root, perm="elr")

    class DataChannel(DTPHandler):
        # A stalled transfer stays open once its data is out, so the
        # client waits for the rest; the server closes it when it stops.
        def close_when_done(self):
            if getattr(self.cmd_channel, "stalling", False):
                self.cmd_channel.stalling = False
                return
            super().close_when_done()

    class Handler(FTPHandler):
        # A refused login is answered at once.
        auth_failed_timeout = 0
        dtp_handler = DataChannel
        # The misbehaving transfers go through the channel's own sending.
        use_sendfile = False

        def ftp_RETR(self, file):
            name = os.path.basename(file)
            peer.note_request(name)
            how = peer.behaviour_of(name)
            if how is None or not os.path.isfile(file):
                return super().ftp_RETR(file)
            with open(file, "rb") as served:
                data = served.read()
            if how == "stall":
                self.stalling = True
                self.push_dtp_data(data[:len(data) // 2], cmd="RETR")
            else:
                self.push_dtp_data(HalfThenMisbehave(data, how), isproducer=True, cmd="RETR")
            return file

    Handler.authorizer = authorizer
    quiet = logging.getLogger("pyftpdlib")
    quiet.addHandler(logging.NullHandler())
    quiet.setLevel(logging.CRITICAL)
    quiet.propagate = False
    return FTPServer(address, Handler)


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
    peer = Peer(status, stop)
    make = http_server if kind == "http" else ftp_server
    try:
        server = make(root, (host, int(port)), peer)
    except OSError as error:
        write_status(status, "unavailable: %s" % error)
        return
    threading.Thread(target=stop_on_request, args=(server, status, stop, owner), daemon=True).start()
    write_status(status, "ready")
    server.serve_forever()


if __name__ == "__main__":
    main()

#!/bin/sh
# Runs a test program in a network namespace of its own where the route to
# 192.0.2.0/24 ends in a black hole, so that echo requests to 192.0.2.1 go
# nowhere and never come back; the program finds that address in
# POLYPROBE_SILENT_HOST. Without root or namespaces the program runs as it
# is, and the tests that need the address skip themselves.
#   silent_host.sh program [arguments]
set -eu
if [ "$(id -u)" = 0 ] && command -v ip >/dev/null && unshare -n true 2>/dev/null; then
  exec unshare -n sh -c 'ip link set lo up && ip route add blackhole 192.0.2.0/24 &&
    POLYPROBE_SILENT_HOST=192.0.2.1 exec "$@"' sh "$@"
fi
exec "$@"

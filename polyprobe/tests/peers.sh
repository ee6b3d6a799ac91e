#!/bin/sh
# Starts or stops the real peers the library's checks probe, all on
# 127.0.0.1: Python's HTTP server, and socat as a TCP banner service, a
# service that closes at once, a silent one and a UDP echo service. Their
# ports go to <dir>/peers.txt ("name port" lines), a port nobody listens on
# as "refused".
#   peers.sh start <dir> | peers.sh stop <dir>
set -eu
dir=$2
mkdir -p "$dir"

free_ports() {
  python3 - "$1" <<'PY'
import socket, sys
held = []
for _ in range(int(sys.argv[1])):
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    held.append(s)
print(" ".join(str(s.getsockname()[1]) for s in held))
PY
}

start() {
  stop
  set -- $(free_ports 6)
  http=$1 banner=$2 closer=$3 silent=$4 udpecho=$5 refused=$6
  mkdir -p "$dir/www"
  echo "polyprobe test page" >"$dir/www/index.html"
  launch() {
    setsid "$@" </dev/null >>"$dir/peers.log" 2>&1 &
    echo $! >>"$dir/peers.pids"
  }
  launch python3 -m http.server "$http" --bind 127.0.0.1 --directory "$dir/www"
  launch socat TCP4-LISTEN:"$banner",bind=127.0.0.1,reuseaddr,fork SYSTEM:'echo 220 probe ready; sleep 1'
  launch socat TCP4-LISTEN:"$closer",bind=127.0.0.1,reuseaddr,fork EXEC:/bin/true
  launch socat TCP4-LISTEN:"$silent",bind=127.0.0.1,reuseaddr,fork SYSTEM:'sleep 20'
  launch socat -T1 UDP4-RECVFROM:"$udpecho",bind=127.0.0.1,fork EXEC:cat
  printf 'http %s\nbanner %s\ncloser %s\nsilent %s\nudpecho %s\nrefused %s\n' \
    "$http" "$banner" "$closer" "$silent" "$udpecho" "$refused" >"$dir/peers.txt"
  # Ready once each TCP peer accepts.
  for port in "$http" "$banner" "$closer" "$silent"; do
    tries=0
    until python3 -c "import socket,sys; socket.create_connection(('127.0.0.1', $port), 1).close()" 2>/dev/null; do
      tries=$((tries + 1))
      [ $tries -lt 50 ] || { echo "peer on port $port did not start" >&2; exit 1; }
      sleep 0.1
    done
  done
}

stop() {
  if [ -f "$dir/peers.pids" ]; then
    # Each peer leads its own session: end the whole group.
    while read -r pid; do kill -- "-$pid" 2>/dev/null || true; done <"$dir/peers.pids"
    rm -f "$dir/peers.pids"
  fi
}

"$1"

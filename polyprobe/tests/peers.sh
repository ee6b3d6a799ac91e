#!/bin/sh
# Starts or stops the real peers the library's checks probe, all on
# 127.0.0.1: Python's HTTP server, and socat as a TCP banner service, a
# service that closes at once, a silent one and a UDP echo service. Their
# ports go to <dir>/peers.txt ("name port" lines), a port nobody listens on
# as "refused". As root, Debian's SNMP agent answers on 127.77.0.1 port 161
# (the port the library sends to) with its own configuration; the line
# "snmpd 161" says it runs.
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
  start_snmpd
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

snmp_address=127.77.0.1

# Whether the agent answers a GetNextRequest for 1.3.6.1.2.1.1.
snmp_answers() {
  python3 - "$snmp_address" <<'PY'
import socket, sys
request = bytes.fromhex("302302010004066f7263686964a116020101020100020100300b300906052b060102010500")
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.3)
s.sendto(request, (sys.argv[1], 161))
s.recv(2048)
PY
}

start_snmpd() {
  command -v snmpd >/dev/null && [ "$(id -u)" = 0 ] || return 0
  mkdir -p "$dir/snmp"
  cat >"$dir/snmpd.conf" <<CONF
agentaddress udp:$snmp_address:161
view probed included .1.3.6.1.2.1.1
view probed included .1.3.6.1.4.1.8072.9999
rocommunity orchid 127.0.0.0/8 -V probed
sysservices 72
override .1.3.6.1.4.1.8072.9999.1.0 integer -5
override .1.3.6.1.4.1.8072.9999.2.0 counter 6699
override .1.3.6.1.4.1.8072.9999.3.0 uinteger 4294967295
override .1.3.6.1.4.1.8072.9999.4.0 octet_str "orchid house"
CONF
  launch env SNMP_PERSISTENT_DIR="$dir/snmp" snmpd -f -C -c "$dir/snmpd.conf" \
    -Lf "$dir/snmpd.log" -p "$dir/snmpd.pid"
  tries=0
  until snmp_answers 2>/dev/null; do
    tries=$((tries + 1))
    [ $tries -lt 30 ] || { echo "snmpd did not answer" >&2; exit 1; }
  done
  echo "snmpd 161" >>"$dir/peers.txt"
}

stop() {
  if [ -f "$dir/peers.pids" ]; then
    # Each peer leads its own session: end the whole group.
    while read -r pid; do kill -- "-$pid" 2>/dev/null || true; done <"$dir/peers.pids"
    rm -f "$dir/peers.pids"
  fi
}

"$1"

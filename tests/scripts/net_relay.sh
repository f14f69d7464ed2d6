#!/usr/bin/env bash
# The bad network the network tests play over (tests/support/udp_relay.py) is as bad as it
# is told and no worse: through it and back, datagrams are lost at about (1 - loss)^2, each
# round trip takes twice delay +- jitter, each client reaches the server from an address of
# its own, and SIGTERM ends it quietly.
set -uo pipefail
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
command -v python3 >/dev/null || { echo "net_relay: python3 is not installed" >&2; exit 1; }
relay_py="$TANDRIX_SOURCE_DIR/tests/support/udp_relay.py"
work=$(mktemp -d)
echo_pid=
relay_pid=
cleanup() {
  [ -n "$relay_pid" ] && kill "$relay_pid" 2>/dev/null
  [ -n "$echo_pid" ] && kill "$echo_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "net_relay: $*" >&2
  exit 1
}

# 1. Nonsense arguments are refused, with a word why.
python3 "$relay_py" --listen 1 --to nowhere 2>"$work/args.err" && fail "took --to without a port"
grep -q "HOST:PORT" "$work/args.err" || fail "no reason given for a bad --to: $(cat "$work/args.err")"

# 2. An echo server on a free port: it answers each datagram with the sender's port (two
# bytes) and the datagram.
python3 - "$work/echo.port" <<'EOF' &
import os, socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(('127.0.0.1', 0))
with open(sys.argv[1] + '.tmp', 'w') as f:
    f.write(str(s.getsockname()[1]))
os.rename(sys.argv[1] + '.tmp', sys.argv[1])
while True:
    data, sender = s.recvfrom(65535)
    s.sendto(sender[1].to_bytes(2, 'little') + data, sender)
EOF
echo_pid=$!
for _ in $(seq 50); do [ -f "$work/echo.port" ] && break; sleep 0.1; done
[ -f "$work/echo.port" ] || fail "the echo server did not start"
echo_port=$(cat "$work/echo.port")
relay_port=$(python3 -c "import socket; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); \
s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])")

delay=50 jitter=15 loss=0.05
python3 "$relay_py" --listen "$relay_port" --to "127.0.0.1:$echo_port" --delay-ms $delay \
  --jitter-ms $jitter --loss $loss --seed 7 2>"$work/relay.err" &
relay_pid=$!

# 3. Two clients send 100 datagrams each through the relay and time what comes back.
python3 - "$relay_port" $delay $jitter $loss <<'EOF' || { cat "$work/relay.err" >&2; exit 1; }
import select, socket, struct, sys, time
relay, delay, jitter, loss = int(sys.argv[1]), *map(float, sys.argv[2:5])
to = ('127.0.0.1', relay)
clients = [socket.socket(socket.AF_INET, socket.SOCK_DGRAM) for _ in range(2)]
for c in clients:
    c.bind(('127.0.0.1', 0))

def fail(message):
    sys.exit('net_relay: ' + message)

# The relay may still be starting: knock until it answers (the knocks can be lost too).
for c in clients:
    for _ in range(50):
        c.sendto(b'knock', to)
        if select.select([c], [], [], 0.1)[0]:
            c.recv(65535)
            break
    else:
        fail('the relay never answered')

count = 200
sent = {}
for i in range(count):
    sent[i] = time.monotonic()
    clients[i % 2].sendto(struct.pack('<I', i), to)
end = time.monotonic() + 2 * (delay + jitter) / 1000 + 0.5
trips, seen_from = {}, [set(), set()]
while time.monotonic() < end:
    for c in select.select(clients, [], [], max(0, end - time.monotonic()))[0]:
        data = c.recv(65535)
        if len(data) != 6:
            continue  # a late answer to a knock
        port, i = struct.unpack('<HI', data)
        trips[i] = (time.monotonic() - sent[i]) * 1000
        seen_from[clients.index(c)].add(port)

expected = count * (1 - loss) ** 2
if abs(len(trips) - expected) > 15:
    fail('%d of %d came back, expected about %.0f' % (len(trips), count, expected))
low, high = 2 * (delay - jitter), 2 * (delay + jitter)
# Never sooner than the shortest delay allows; the slack above is for a busy machine.
if min(trips.values()) < low - 1 or max(trips.values()) > high + 150:
    fail('round trips %.1f .. %.1f ms, expected %.0f .. %.0f' %
         (min(trips.values()), max(trips.values()), low, high))
if any(len(s) != 1 for s in seen_from) or seen_from[0] == seen_from[1] or relay in seen_from[0]:
    fail('the server saw the clients from %s, not one address of their own each' % seen_from)
EOF

# 4. SIGTERM ends the relay at once, cleanly and without a word.
kill -TERM "$relay_pid"
wait "$relay_pid"
status=$?
relay_pid=
[ $status -eq 0 ] || fail "the relay ended with status $status on SIGTERM"
[ -s "$work/relay.err" ] && fail "the relay said: $(cat "$work/relay.err")"
echo "net_relay: the relay delays, loses and keeps clients apart as told"
exit 0

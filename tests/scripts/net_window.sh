#!/usr/bin/env bash
# Network play in a real window under Xvfb: the host shows the match in its window and its
# person steers with a held key (xdotool) while a headless machine with scripted people
# joins it. The host's worm must bend with the key, both machines must score the same
# first round (so the joining machine played the host's key too), and the host's recording
# must replay to it.
set -uo pipefail

name=net_window
xvfb_base=140
# shellcheck source=../support/xwindow.sh
source "$(dirname "$0")/../support/xwindow.sh"

# The host: one person (arrows, up to fire) and two computer players; the joining machine:
# two people and one computer player. Three rounds.
setup() {
  python3 - "$1" "$2" <<'PY'
import sys
path, people = sys.argv[1], int(sys.argv[2])
b = bytearray(open(path, 'rb').read()[:164])
for i in range(12):
    b[12 * i] = 2 if i < people else (4 if i < 3 else 1)
    b[12 * i + 1] = 1 + i
    b[12 * i + 11] = 1 + i % 4
b[8:11] = bytes((37, 39, 38))
b[144] = 1   # bonuses
b[146] = 5   # race: side by side, facing right, so the host's worm lives to turn
b[152] = 0   # three rounds
open(path, 'wb').write(bytes(b))
PY
}
setup "$work/game/tandrix.cfg" 1
mkdir -p "$work/guest"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/guest/pak"
cp "$work/game/tandrix.cfg" "$work/guest/tandrix.cfg"
setup "$work/guest/tandrix.cfg" 2
port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

(cd "$work/game" && exec "$TANDRIX_BINARY" --windowed --trace --host "$port" --start deathmatch \
  --machines 2 --seed 5 --frames 2400 --screenshot "$work/shot.bmp" >"$work/trace.txt" \
  2>"$work/err.txt") &
pid=$!
sleep 0.5
(cd "$work/guest" && exec timeout 300 "$TANDRIX_BINARY" --headless --realtime --trace \
  --join "127.0.0.1:$port" --script-people 4 >"$work/guest.txt" 2>"$work/guest.err") &
guest=$!

wait_phase Playing 1 120
find_window
# A click gives the window the keyboard; the host's person holds left a while.
click_view 620 470
xdotool keydown Left
sleep 0.8
xdotool keyup Left

wait "$pid" || fail "the host's window ended with an error"
pid=""
wait "$guest"  # the host left after its frames: the guest says so and ends
grep -q 'the host left the match' "$work/guest.err" ||
  fail "the joining machine did not end when the host left: $(tail -2 "$work/guest.err")"
# Slot 0 is green; between rounds its trail is drawn in its dim colour.
python3 "$(dirname "$0")/../support/trail_bends.py" "$work/shot.bmp" 0 127 0 27 ||
  fail "the host's worm did not turn with its person's key"
grep '^round=1 ' "$work/trace.txt" >"$work/host.round" || fail "the host scored no round"
grep '^round=1 ' "$work/guest.txt" | cmp -s - "$work/host.round" ||
  fail "the machines scored the first round differently"
[ -s "$work/shot.bmp" ] || fail "the host's window drew nothing"
(cd "$work/game" && "$TANDRIX_BINARY" --headless --replay replays/*.tdxr --trace 2>/dev/null) |
  grep '^round=1 ' | cmp -s - "$work/host.round" ||
  fail "the host's recording does not replay to the first round"
echo "net_window: the host's window played the match with its person's keys, and the joining machine agreed"

#!/usr/bin/env bash
# The replays screen and viewer in a real window under Xvfb, driven with xdotool: the main
# menu's "replays" lists the folder's recordings (a damaged one among them), a click watches
# the newest, which shows the "replay" marker and can be paused, stepped a frame, sought and
# pictured; Escape goes back to the list, where "keep" keeps a recording, and back to the
# main menu.
set -uo pipefail

name=replays_window
xvfb_base=180
# shellcheck source=../support/xwindow.sh
source "$(dirname "$0")/../support/xwindow.sh"

mkdir -p "$work/game/replays"
cp "$TANDRIX_SOURCE_DIR/tests/replays/match/computers_1_to_12.tdxr" \
  "$work/game/replays/match-20261201-100000.tdxr"
printf 'TDXR not a recording at all' >"$work/game/replays/match-20261101-100000.tdxr"
touch -d '2026-11-01 10:00' "$work/game/replays/match-20261101-100000.tdxr"
touch -d '2026-12-01 10:00' "$work/game/replays/match-20261201-100000.tdxr"

# Waits until the trace holds `count` lines matching `pattern`.
wait_line() {
  local pattern=$1 count=${2:-1} limit=${3:-60}
  for _ in $(seq 1 $((limit * 10))); do
    [ "$(grep -c -- "$pattern" "$work/trace.txt")" -ge "$count" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the game ended while waiting for '$pattern'"
    sleep 0.1
  done
  fail "no '$pattern' within $limit s"
}
key() {
  xdotool key --window "$window" "$1"
  sleep 0.3
}

(cd "$work/game" && exec "$TANDRIX_BINARY" --windowed --trace --seed 5 \
  >"$work/trace.txt" 2>"$work/err.txt") &
pid=$!
wait_phase MainMenu 1 120
find_window
sleep 0.5
click_view 300 322  # "replays"
wait_line '^replays=list rows=2$'

click_view 120 64  # the newest recording's line
wait_line '^replay=watch file=match-20261201-100000.tdxr frames='
sleep 1
key space
wait_line '^replay=paused frame='
paused=$(grep '^replay=paused frame=' "$work/trace.txt" | tail -1 | sed 's/.*frame=//')
key period
wait_line "^replay=step frame=$((paused + 1))\$"
key s
wait_line '^replay=picture picture saved: '
picture=$(grep '^replay=picture picture saved: ' "$work/trace.txt" | tail -1 | sed 's/.*saved: //')
case $picture in /*) ;; *) picture=$work/game/$picture ;; esac
[ -f "$picture" ] || fail "the viewer's picture $picture was not written"
# The marker's letters in the strip under the arena are bright.
python3 - "$picture" <<'PY' || fail "no replay marker at the bottom left of $picture"
import sys, zlib, struct
data = open(sys.argv[1], 'rb').read()
pos, idat, w, h, ctype = 8, b'', 0, 0, 0
while pos < len(data):
    n, kind = struct.unpack('>I4s', data[pos:pos + 8])
    body = data[pos + 8:pos + 8 + n]
    if kind == b'IHDR':
        w, h, depth, ctype = struct.unpack('>IIBB', body[:10])
    elif kind == b'IDAT':
        idat += body
    pos += 12 + n
bpp = 4 if ctype == 6 else 3
raw = zlib.decompress(idat)
stride = w * bpp
rows, prev = [], bytearray(stride)
for y in range(h):
    f = raw[y * (stride + 1)]
    line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
    for i in range(stride):
        a = line[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        if f == 1: line[i] = (line[i] + a) & 255
        elif f == 2: line[i] = (line[i] + b) & 255
        elif f == 3: line[i] = (line[i] + (a + b) // 2) & 255
        elif f == 4:
            p = a + b - c
            pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
            line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    prev = line
sx, sy = w / 640, h / 480
bright = 0
for y in range(int(465 * sy), int(479 * sy)):
    for x in range(int(18 * sx), int(80 * sx)):
        p = rows[y][x * bpp:x * bpp + 3]
        bright += sum(p) > 300
sys.exit(0 if bright >= 20 else 1)
PY
key Home
wait_line '^replay=seek frame=0$'
key Escape
wait_line '^replays=list rows=2$' 2

click_view 510 64  # "keep" on the newest
wait_line '^replays=list rows=2$' 3
[ -f "$work/game/replays/kept-20261201-100000.tdxr" ] ||
  fail "keeping did not make kept-20261201-100000.tdxr: $(ls "$work/game/replays")"
key Escape
wait_phase MainMenu 2
click_view 300 345  # "quit"
wait "$pid"
code=$?
pid=""
[ "$code" -eq 0 ] || fail "the game ended with $code after quit"
grep -q 'ERROR\|runtime error' "$work/err.txt" && fail "the game reported errors"
exit 0

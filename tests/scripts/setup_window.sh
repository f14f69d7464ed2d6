#!/usr/bin/env bash
# The set-up screen in a real window under Xvfb, driven with xdotool like a player would:
# make player 3 human, bind its three keys by pressing them, choose its kind from the
# pop-up, switch bonus off, change the score limit, go back and start a deathmatch. Player
# 3's worm must turn with its new left key, and tandrix.cfg must differ from the file the
# game started with in exactly the bytes that were changed on screen.
set -uo pipefail

name=setup_window
xvfb_base=130
# shellcheck source=../support/xwindow.sh
source "$(dirname "$0")/../support/xwindow.sh"
# Player 1 a computer, player 3 off with keys z, c, x and a speeder; race start (side by
# side, facing right), bonus on, ten rounds, no background effect (its lines would mix with
# the trails in the screenshot). Every byte the screen will change starts at another value.
python3 - "$work/game/tandrix.cfg" <<'PY'
import sys
path = sys.argv[1]
b = bytearray(open(path, 'rb').read()[:164])
for i in range(12):
    b[12 * i] = 4 if i == 0 else 1
    b[12 * i + 1] = 2
b[24 + 8:24 + 11] = bytes((90, 67, 88))
b[144] = 1    # bonus on
b[146] = 5    # race
b[152] = 1    # ten rounds
b[157] = 0    # no background effect
open(path, 'wb').write(bytes(b))
PY
cp "$work/game/tandrix.cfg" "$work/before.cfg"

: >"$work/trace.txt"
(cd "$work/game" && exec "$TANDRIX_BINARY" --windowed --trace --screenshot "$work/round.bmp" \
  >"$work/trace.txt" 2>"$work/err.txt") &
pid=$!

# Presses and releases one key, held long enough for a frame to see it.
press_key() {
  xdotool keydown "$1"
  sleep 0.15
  xdotool keyup "$1"
}
setup_frames=1
# Waits for the set-up table to come back after a pop-up or prompt.
wait_table() {
  setup_frames=$((setup_frames + 1))
  wait_phase SetupMenu "$setup_frames" 10
  sleep 0.3
}

wait_phase MainMenu 1 90
find_window
click_view 300 248          # "set_up"
wait_phase SetupMenu
sleep 0.3

# Player 3 is row 2: its words stand at y 130.
click_view 165 138          # its controller, "off"
wait_phase PickController
click_view 160 112          # "human", the first option, 32 pixels below row 0's
wait_table
click_view 262 138          # left key
wait_phase CaptureLeftKey
sleep 0.2
press_key j
wait_table
click_view 335 138          # right key
wait_phase CaptureRightKey
sleep 0.2
press_key l
wait_table
click_view 408 138          # fire key
wait_phase CaptureFireKey
sleep 0.2
press_key i
wait_table
click_view 482 138          # its kind: the pop-up's top is 58 - 138 / 2 + 32 = 21
wait_phase PickKind
click_view 470 43           # "traveller", the first kind, 16 pixels below the top
wait_table
click_view 106 308          # bonus "on" -> "off"
sleep 0.4
click_view 206 383          # score limit "10"
wait_phase PickScoreLimit
click_view 190 389          # "21", the third option: 206 - 22, 383 - 32 + 2 x 16
wait_table

python3 - "$work/before.cfg" "$work/game/tandrix.cfg" <<'PY' || fail "tandrix.cfg does not hold exactly the changes made on screen"
import sys
before = open(sys.argv[1], 'rb').read()
after = open(sys.argv[2], 'rb').read()
expected = bytearray(before)
expected[24] = 2                      # player 3: human
expected[25] = 1                      # traveller
expected[32:35] = bytes((74, 76, 73))  # j, l, i
expected[144] = 0                     # bonus off
expected[152] = 2                     # 21 rounds
if after != bytes(expected):
    diff = [(i, before[i], after[i] if i < len(after) else None)
            for i in range(max(len(before), len(after))) if i >= len(after) or after[i] != expected[i]]
    sys.exit("unexpected bytes (offset, before, after): %s; size %d" % (diff, len(after)))
print("tandrix.cfg: the six changes and nothing else")
PY
cp "$work/game/tandrix.cfg" "$work/after_setup.cfg"

click_view 585 461          # "back"
wait_phase MainMenu 2 20
sleep 0.3
click_view 300 168          # "deathmatch"
wait_phase Playing 1 30
sleep 0.3
xdotool keydown j           # player 3's new left key
sleep 0.6
xdotool keyup j
wait_phase WaitReady 1 60
sleep 0.5
click_view 365 376          # "exit_program"
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the game did not end"
wait "$pid"
code=$?
pid=""
[ "$code" -eq 0 ] || fail "the game ended with exit code $code"
cmp -s "$work/after_setup.cfg" "$work/game/tandrix.cfg" || fail "playing the match changed tandrix.cfg"

python3 "$(dirname "$0")/../support/trail_bends.py" "$work/round.bmp" 0 0 127 8 ||
  fail "player 3's trail does not bend: its new left key did not turn it"
echo "setup_window: all checks passed"

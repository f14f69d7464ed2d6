#!/usr/bin/env bash
# The real game in a real window under Xvfb, driven by xdotool like a player would:
# the main menu shows its words, a click on "deathmatch" starts a round, the countdown
# leads to play, a held key bends the worm's trail, fire keys start the next round,
# "main_menu" returns to the menu, "quit" and "exit_program" end the program with 0.
set -uo pipefail

name=game_window
xvfb_base=120
# shellcheck source=../support/xwindow.sh
source "$(dirname "$0")/../support/xwindow.sh"
# Two people (arrows with up to fire; a, d with w), two computer players that steer at
# random (so rounds stay short), a long match.
python3 - "$work/game/tandrix.cfg" <<'PY'
import sys
path = sys.argv[1]
b = bytearray(open(path, 'rb').read()[:164])
keys = [(37, 39, 38), (65, 68, 87)]
for i in range(12):
    b[12 * i] = 2 if i < 2 else (3 if i < 4 else 1)   # cpuiq0: short rounds
    b[12 * i + 1] = 1   # travellers: no ability needs aiming here
    if i < 2:
        b[12 * i + 8:12 * i + 11] = bytes(keys[i])
b[146] = 5    # race: side by side, facing right
b[152] = 1    # ten rounds
open(path, 'wb').write(bytes(b))
PY

start_game() {
  : >"$work/trace.txt"
  (cd "$work/game" && exec "$TANDRIX_BINARY" --windowed --trace "$@" >"$work/trace.txt" 2>"$work/err.txt") &
  pid=$!
}
wait_exit() {
  for _ in $(seq 1 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && fail "the game did not end"
  wait "$pid"
  local code=$?
  pid=""
  [ "$code" -eq 0 ] || fail "the game ended with exit code $code"
}

# --- First run: play a round with a bent trail, then leave with "exit_program". ---
start_game --screenshot "$work/round.bmp"
wait_phase MainMenu 1 90
find_window
click_view 300 168          # "deathmatch"
wait_phase RoundStart
wait_phase Playing
xdotool keydown Left
sleep 0.6
xdotool keyup Left
wait_phase WaitReady 1 60
sleep 0.5
click_view 365 376          # "exit_program"
wait_exit
# Slot 0 is green; between rounds its trail is drawn in its dim colour.
python3 "$(dirname "$0")/../support/trail_bends.py" "$work/round.bmp" 0 127 0 27 ||
  fail "the screenshot shows no bent trail of the first worm"

# --- Second run: fire keys start the next round, main_menu returns, quit ends it. ---
start_game
wait_phase MainMenu 1 90
find_window
click_view 300 168
wait_phase WaitReady 1 90
sleep 0.3
xdotool key Up
sleep 0.2
xdotool key w
wait_phase RoundStart 2 10
wait_phase WaitReady 2 90
sleep 0.3
click_view 365 356          # "main_menu"
wait_phase BackToMenu
wait_phase MainMenu 2 10
sleep 0.3
click_view 290 348          # "quit"
wait_exit
echo "game_window: all checks passed"

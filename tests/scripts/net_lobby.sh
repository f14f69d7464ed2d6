#!/usr/bin/env bash
# Network play started from the screens, in a real window under Xvfb driven with xdotool:
# 1. A host started with --host alone shows its lobby; a headless machine joins, the lobby
#    lists both, and a click on "deathmatch" starts the match on both.
# 2. From the main menu, "network", an address typed in and Enter join a headless host; the
#    match plays, Escape leaves it for the network screen and then for the main menu, and
#    "quit" ends the game.
# Both times the machines must score the first round alike.
set -uo pipefail

name=net_lobby
xvfb_base=150
# shellcheck source=../support/xwindow.sh
source "$(dirname "$0")/../support/xwindow.sh"

# Two computer players on each machine, in slots `first` and `first`+1.
setup() {
  python3 - "$TANDRIX_GAME_DATA/tandrix.cfg" "$1" "$2" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read()[:164])
first = int(sys.argv[3])
for i in range(12):
    b[12 * i] = 4 if first <= i < first + 2 else 1
    b[12 * i + 1] = 1 + i
    b[12 * i + 11] = 1 + i % 4
b[144] = 1   # bonuses
b[152] = 0   # three rounds
open(sys.argv[2], 'wb').write(bytes(b))
PY
}
# The other machine's words too, when something fails.
eval "window_$(declare -f fail)"
fail() {
  [ -f "$work/other.err" ] && { echo "--- the other machine ---" >&2; tail -5 "$work/other.err" >&2; }
  window_fail "$@"
}
mkdir -p "$work/other"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/other/pak"
setup "$work/game/tandrix.cfg" 0
setup "$work/other/tandrix.cfg" 2
free_port() {
  python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
other=""
stop_other() {
  [ -n "$other" ] && kill "$other" 2>/dev/null
  wait "$other" 2>/dev/null
  other=""
}
trap 'stop_other; cleanup' EXIT
# Waits until `file` holds a line matching `pattern`.
wait_line() {
  local file=$1 pattern=$2 limit=${3:-60}
  for _ in $(seq 1 $((limit * 10))); do
    grep -q -- "$pattern" "$file" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || fail "the window ended while waiting for '$pattern'"
    sleep 0.1
  done
  fail "no '$pattern' in $(basename "$file") within $limit s"
}
same_first_round() {
  wait_line "$work/trace.txt" '^round=1 ' 120
  wait_line "$work/other.txt" '^round=1 ' 30
  grep '^round=1 ' "$work/other.txt" | cmp -s - <(grep '^round=1 ' "$work/trace.txt") ||
    fail "$1: the machines scored the first round differently"
}

# 1. The host's lobby.
port=$(free_port)
(cd "$work/game" && exec "$TANDRIX_BINARY" --windowed --trace --host "$port" --seed 3 \
  >"$work/trace.txt" 2>"$work/err.txt") &
pid=$!
wait_line "$work/trace.txt" '^network=lobby machines=1$' 90
(cd "$work/other" && exec timeout 300 "$TANDRIX_BINARY" --headless --trace \
  --join "127.0.0.1:$port" >"$work/other.txt" 2>"$work/other.err") &
other=$!
wait_line "$work/trace.txt" '^network=lobby machines=2$' 30
find_window
click_view 300 378  # "deathmatch"
same_first_round "a match started in the lobby"
kill "$pid"
wait "$pid" 2>/dev/null
pid=""
stop_other

# 2. Joining from the main menu by a typed address.
port=$(free_port)
(cd "$work/other" && exec timeout 300 "$TANDRIX_BINARY" --headless --realtime --trace --host "$port" \
  --start deathmatch --machines 2 --seed 4 >"$work/other.txt" 2>"$work/other.err") &
other=$!
: >"$work/trace.txt"
(cd "$work/game" && exec "$TANDRIX_BINARY" --windowed --trace >"$work/trace.txt" \
  2>"$work/err.txt") &
pid=$!
wait_phase MainMenu 1 90
find_window
click_view 300 222  # "network"
wait_line "$work/trace.txt" '^network=choose' 10
click_view 20 20    # the keyboard goes to the window
type_key() {
  xdotool keydown "$1"
  sleep 0.1
  xdotool keyup "$1"
  sleep 0.1
}
address="127.0.0.1:$port"
for ((i = 0; i < ${#address}; i++)); do
  case "${address:i:1}" in
    .) type_key period ;;
    :) type_key semicolon ;;
    *) type_key "${address:i:1}" ;;
  esac
done
type_key Return
wait_line "$work/trace.txt" '^network=lobby' 20
same_first_round "a match joined from the main menu"
type_key Escape     # out of the match
[ "$(grep -c '^network=choose' "$work/trace.txt")" -ge 2 ] ||
  { sleep 1; [ "$(grep -c '^network=choose' "$work/trace.txt")" -ge 2 ]; } ||
  fail "Escape did not leave the match for the network screen"
type_key Escape     # out of the network screens
wait_phase MainMenu 2 10
click_view 300 348  # "quit"
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
wait "$pid" || fail "the game did not end cleanly after the network match"
pid=""
stop_other
echo "net_lobby: a match started in the host's lobby and one joined from the main menu played alike on both machines"

#!/usr/bin/env bash
# Records a match the way a player makes one: the real game in a window under Xvfb,
# people's keys pressed by xdotool, computer players beside them, `--record` writing the
# file. The committed recordings in this folder were made with it; make them again after
# a change to the rules with:
#   TANDRIX_BINARY=build/game/tandrix TANDRIX_GAME_DATA=build/game \
#     tests/replays/record.sh tests/replays/people_and_computers.tdxr people_and_computers
# Usage: record.sh OUT.tdxr SCENARIO [trace-file]
set -uo pipefail
: "${TANDRIX_BINARY:?the tandrix binary}"
: "${TANDRIX_GAME_DATA:?the generated game folder}"
export LC_ALL=C
out=$(realpath -m "$1")
scenario=$2
trace_out=${3:-}
binary=$(realpath "$TANDRIX_BINARY")
data=$(realpath "$TANDRIX_GAME_DATA")

if [ -z "${TANDRIX_IN_XVFB:-}" ]; then
  for tool in xvfb-run xdotool python3; do
    command -v "$tool" >/dev/null || { echo "record: $tool is missing" >&2; exit 1; }
  done
  export TANDRIX_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$out" "$scenario" "$trace_out"
fi

export SDL_AUDIODRIVER=dummy
work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "record: $*" >&2
  [ -f "$work/err.txt" ] && { echo "--- stderr ---" >&2; tail -20 "$work/err.txt" >&2; }
  exit 1
}

mkdir -p "$work/game"
ln -s "$data/pak" "$work/game/pak"
cp "$data/tandrix.cfg" "$work/game/tandrix.cfg"
# Each scenario: who plays with which keys and kinds. Keys: arrows with up to fire for
# slot 0; a, d with w for slot 1.
python3 - "$work/game/tandrix.cfg" "$scenario" <<'PY' || fail "unknown scenario $scenario"
import sys
path, scenario = sys.argv[1], sys.argv[2]
b = bytearray(open(path, 'rb').read()[:164])
keys = [(37, 39, 38), (65, 68, 87)]
for i in range(12):
    b[12 * i] = 1
if scenario == "people_and_computers":
    # Two people and two computer players of each level, random kinds, random places.
    for i, (ctrl, kind) in enumerate([(2, 255), (2, 255), (3, 255), (4, 255)]):
        b[12 * i] = ctrl
        b[12 * i + 1] = kind
        b[12 * i + 11] = i % 2 + 1
    for i in range(2):
        b[12 * i + 8:12 * i + 11] = bytes(keys[i])
    b[144] = 1     # bonuses on
    b[145] = 1     # constant speed ...
    b[153] = 6     # ... of 90
    b[146] = 4     # random places
    b[152] = 0     # three rounds
else:
    sys.exit(1)
open(path, 'wb').write(bytes(b))
PY

: >"$work/trace.txt"
(cd "$work/game" && exec "$binary" --windowed --trace --start deathmatch --fixed-dt 0.02 \
  --seed 20261210 --record "$out" >"$work/trace.txt" 2>"$work/err.txt") &
pid=$!
phases() { grep -c "phase=$1\$" "$work/trace.txt"; }
# People play: each steers in bursts and presses fire now and then, and both press fire
# on every waiting screen; the match ends on the final screen with "exit_program".
steer=(Left Right a d)
for t in $(seq 1 1200); do
  kill -0 "$pid" 2>/dev/null || fail "the game ended before its final screen"
  if [ "$(phases GameOver)" -ge 1 ]; then break; fi
  if grep -q "phase=WaitReady\$" <(tail -1 "$work/trace.txt" | grep phase=); then
    xdotool key Up; xdotool key w
  fi
  key=${steer[$((t % 4))]}
  xdotool keydown "$key"; sleep 0.$((t % 3 + 1)); xdotool keyup "$key"
  [ $((t % 5)) -eq 0 ] && { xdotool key Up; xdotool key w; }
done
[ "$(phases GameOver)" -ge 1 ] || fail "no final screen"
window=$(xdotool search --sync --name '^Tandrix$' | head -1)
[ -n "$window" ] || fail "no window named Tandrix"
eval "$(xdotool getwindowgeometry --shell "$window")"
scale=$((WIDTH / 640))
sleep 0.5
for _ in 1 2 3; do
  xdotool mousemove --window "$window" $((400 * scale)) $((396 * scale)); sleep 0.2
  xdotool mousemove --window "$window" $((401 * scale)) $((396 * scale)); sleep 0.2
  xdotool click 1
  for _ in $(seq 1 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null || break
done
kill -0 "$pid" 2>/dev/null && fail "exit_program did not end the game"
wait "$pid" || fail "the game ended with exit code $?"
pid=""
[ -s "$out" ] || fail "no recording at $out"
[ -n "$trace_out" ] && grep '^round=' "$work/trace.txt" >"$trace_out"
echo "record: $(grep -c '^round=' "$work/trace.txt") rounds recorded into $out"

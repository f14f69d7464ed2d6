#!/usr/bin/env bash
# Records a match the way the game makes one, with `--record` (a match recording, from the
# match's start). Scenarios with people run the real game in a window under Xvfb and press
# their keys with xdotool; scenarios of computer players alone run headless. The
# recordings in this folder hold the devices from the program's start, as earlier builds
# recorded them, and are kept as they are: every build must still play them. Those in
# match/ are the same matches written anew by `--replay FILE --record match/FILE`. After a
# change to the rules, make new ones into match/ with:
#   TANDRIX_BINARY=build/game/tandrix TANDRIX_GAME_DATA=build/game tests/replays/record.sh all
# Usage: record.sh OUT.tdxr SCENARIO [trace-file] | record.sh all
set -uo pipefail
: "${TANDRIX_BINARY:?the tandrix binary}"
: "${TANDRIX_GAME_DATA:?the generated game folder}"
export LC_ALL=C
here=$(cd "$(dirname "$0")" && pwd)
if [ "${1:-}" = all ]; then
  for s in people_and_computers abilities_1_to_12 abilities_9_to_20 computers_1_to_12 \
           computers_9_to_20 bonuses; do
    bash "$0" "$here/match/$s.tdxr" "$s" || exit 1
  done
  exit 0
fi
out=$(realpath -m "$1")
scenario=$2
trace_out=${3:-}
binary=$(realpath "$TANDRIX_BINARY")
data=$(realpath "$TANDRIX_GAME_DATA")

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "record: $scenario: $*" >&2
  [ -f "$work/err.txt" ] && { echo "--- stderr ---" >&2; tail -20 "$work/err.txt" >&2; }
  exit 1
}

mkdir -p "$work/game"
ln -s "$data/pak" "$work/game/pak"
cp "$data/tandrix.cfg" "$work/game/tandrix.cfg"
# Who plays, as what, with which keys. Prints how the match is played: "window" and the
# xdotool names of the keys the people press, or "headless".
mode=$(python3 - "$work/game/tandrix.cfg" "$scenario" <<'PY'
import sys
path, scenario = sys.argv[1], sys.argv[2]
b = bytearray(open(path, 'rb').read()[:164])
OFF, HUMAN, CPU0, CPU10, RANDOM = 1, 2, 3, 4, 255
def player(i, ctrl, kind, keys=(0, 0, 0), team=1):
    b[12 * i] = ctrl
    b[12 * i + 1] = kind
    b[12 * i + 8:12 * i + 11] = bytes(keys)
    b[12 * i + 11] = team
def game(bonus, speed, start, rounds):
    b[144] = bonus
    b[145] = 1          # constant speed
    b[153] = speed      # index into 30, 40, 50, ... 150
    b[146] = start      # start rule
    b[152] = rounds     # index into 3, 10, 21, ...
for i in range(12):
    player(i, OFF, 1)
if scenario == "people_and_computers":
    # Two people (arrows with up; a, d with w) and a computer player of each level.
    player(0, HUMAN, RANDOM, (37, 39, 38), 1)
    player(1, HUMAN, RANDOM, (65, 68, 87), 2)
    player(2, CPU0, RANDOM, team=1)
    player(3, CPU10, RANDOM, team=2)
    game(1, 6, 4, 0)
    print("window Left Right Up a d w")
elif scenario.startswith("abilities_"):
    # Twelve people who only press fire (keys a to l), each of another kind: every kind's
    # ability is used in the first seconds of every round.
    first = 1 if scenario == "abilities_1_to_12" else 9
    for i in range(12):
        player(i, HUMAN, first + i, (0, 0, 65 + i), i % 4 + 1)
    game(0, 0, 2, 0)
    print("window", " ".join(chr(ord('a') + i) for i in range(12)))
elif scenario.startswith("computers_"):
    first = 1 if scenario == "computers_1_to_12" else 9
    for i in range(12):
        player(i, CPU10, first + i, team=i % 4 + 1)
    game(0, 2, 4, 0)
    print("headless")
elif scenario == "bonuses":
    # Twelve computer players hunting bonuses through a long match.
    for i in range(12):
        player(i, CPU10 if i % 2 == 0 else CPU0, RANDOM, team=i % 4 + 1)
    game(1, 4, 4, 2)
    print("headless")
else:
    sys.exit(1)
open(path, 'wb').write(bytes(b))
PY
) || fail "unknown scenario"

if [ "$mode" = headless ]; then
  (cd "$work/game" && "$binary" --headless --trace --start deathmatch --fixed-dt 0.02 \
    --seed 20261210 --record "$out" >"$work/trace.txt" 2>"$work/err.txt") || fail "the game failed"
else
  if [ -z "${TANDRIX_IN_XVFB:-}" ]; then
    for tool in xvfb-run xdotool; do
      command -v "$tool" >/dev/null || fail "$tool is missing"
    done
    export TANDRIX_IN_XVFB=1
    exec xvfb-run -a -n 140 -s "-screen 0 1024x768x24" bash "$0" "$out" "$scenario" "$trace_out"
  fi
  export SDL_AUDIODRIVER=dummy
  read -r -a keys <<<"${mode#window }"
  (cd "$work/game" && exec "$binary" --windowed --trace --start deathmatch --fixed-dt 0.02 \
    --seed 20261210 --record "$out" >"$work/trace.txt" 2>"$work/err.txt") &
  pid=$!
  # People play: with steering keys they steer in bursts; every key is also tapped now
  # and then, which presses fire and makes everybody ready on the waiting screens.
  for t in $(seq 1 1500); do
    kill -0 "$pid" 2>/dev/null || fail "the game ended before its final screen"
    grep -q 'phase=GameOver$' "$work/trace.txt" && break
    if [ "${#keys[@]}" -eq 6 ]; then
      key=${keys[$(((t % 2) * 3 + (t / 2) % 2))]}
      xdotool keydown "$key"; sleep 0.$((t % 3 + 1)); xdotool keyup "$key"
      [ $((t % 5)) -eq 0 ] && xdotool key "${keys[2]}" "${keys[5]}"
    else
      xdotool key "${keys[@]}"; sleep 0.2
    fi
  done
  grep -q 'phase=GameOver$' "$work/trace.txt" || fail "no final screen"
  window=$(xdotool search --sync --name '^Tandrix$' | head -1)
  [ -n "$window" ] || fail "no window named Tandrix"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  scale=$((WIDTH / 640))
  sleep 0.5
  for _ in 1 2 3; do   # "exit_program" on the final screen
    xdotool mousemove --window "$window" $((400 * scale)) $((396 * scale)); sleep 0.2
    xdotool mousemove --window "$window" $((401 * scale)) $((396 * scale)); sleep 0.2
    xdotool click 1
    for _ in $(seq 1 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null || break
  done
  kill -0 "$pid" 2>/dev/null && fail "exit_program did not end the game"
  wait "$pid" || fail "the game ended with exit code $?"
  pid=""
fi
[ -s "$out" ] || fail "no recording at $out"
[ -n "$trace_out" ] && grep '^round=' "$work/trace.txt" >"$trace_out"
echo "record: $scenario: $(grep -c '^round=' "$work/trace.txt") rounds recorded into $out"

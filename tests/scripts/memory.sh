#!/usr/bin/env bash
# Memory that stays put however long the game runs: a run left in the main menu records
# nothing, and a long match is streamed to its recording, not kept. The peak resident
# memory of a long run is held against that of a run a quarter as long (no timing).
set -uo pipefail
: "${TANDRIX_BINARY:?set by ctest: the tandrix binary}"
: "${TANDRIX_GAME_DATA:?set by ctest: the generated game folder}"
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "memory: $*" >&2
  exit 1
}
# The release build, which `make test` made beside the game data, measures what a player
# gets; the sanitizer build keeps freed memory aside for a while, so it is told not to.
binary=$TANDRIX_BINARY
[ -x "$TANDRIX_GAME_DATA/tandrix" ] && binary=$TANDRIX_GAME_DATA/tandrix
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=0
mkdir -p "$work/game"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/game/pak"
cp "$TANDRIX_GAME_DATA/tandrix.cfg" "$work/game/tandrix.cfg"

# Peak resident memory in kilobytes of one run of the game in the game folder.
peak() {
  python3 - "$binary" "$work/game" "$@" <<'PY'
import resource, subprocess, sys
binary, folder, args = sys.argv[1], sys.argv[2], sys.argv[3:]
r = subprocess.run([binary] + args, cwd=folder, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
if r.returncode != 0:
    sys.exit("the game failed: " + r.stderr.decode(errors="replace")[-300:])
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)
PY
}

# Left in the main menu.
short=$(peak --headless --fixed-dt 0.0166666 --frames 100000) || fail "$short"
long=$(peak --headless --fixed-dt 0.0166666 --frames 400000) || fail "$long"
echo "memory: main menu, 100000 frames: $short KB; 400000 frames: $long KB"
[ "$long" -le $((short + 4096)) ] || fail "the main menu grows: $short KB, then $long KB"
[ -z "$(ls "$work/game/replays" 2>/dev/null)" ] || fail "a run that played no match recorded one"

# Matches of twelve computer players, recorded: ten rounds, then a hundred.
python3 - "$work/game/tandrix.cfg" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read()[:164])
for i in range(12):
    b[12 * i] = 4 if i % 2 else 3   # planners and random drivers
    b[12 * i + 1] = 255             # random kinds
    b[12 * i + 11] = i % 4 + 1
b[144] = 1                          # bonuses
b[145] = 1; b[153] = 9              # constant speed 150: short rounds
open(sys.argv[1], 'wb').write(bytes(b))
PY
rounds() {
  python3 - "$work/game/tandrix.cfg" "$1" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read())
b[152] = int(sys.argv[2])           # 1: ten rounds, 4: a hundred
open(sys.argv[1], 'wb').write(bytes(b))
PY
}
rounds 1
ten=$(peak --headless --start deathmatch --seed 5 --fixed-dt 0.0166666) || fail "$ten"
rounds 4
hundred=$(peak --headless --start deathmatch --seed 5 --fixed-dt 0.0166666) || fail "$hundred"
echo "memory: a recorded match of ten rounds: $ten KB; of a hundred rounds: $hundred KB"
[ "$hundred" -le $((ten + 4096)) ] || fail "a long recorded match grows: $ten KB, then $hundred KB"
[ "$(ls "$work/game/replays" | wc -l)" -eq 2 ] || fail "the two matches were not both kept"
echo "memory: the recordings: $(du -b "$work"/game/replays/* | awk '{print $1}' | tr '\n' ' ')bytes"
echo "memory: long runs and long matches stay within 4 MB of short ones"

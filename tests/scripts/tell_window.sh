#!/usr/bin/env bash
# What the match tells its players, seen in real windows under Xvfb with a fixed clock and
# seed: at the countdown every worm has a label beside it; a computer-only round's result
# stays on screen into the next round's intro; the final screen of a tied match names the
# tie. With --classic the same frames are exactly the pictures the game has always drawn
# (tests/pictures, taken before any of this was added).
set -uo pipefail

name=tell_window
xvfb_base=160
# shellcheck source=../support/xwindow.sh
source "$(dirname "$0")/../support/xwindow.sh"
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
pixels="$TANDRIX_SOURCE_DIR/tests/support/tell_pixels.py"
pictures="$TANDRIX_SOURCE_DIR/tests/pictures"

# Two set-ups, each in its own game folder:
#   twelve: four people and eight computer players of many kinds, into the middle;
#   tie:    three computer players, three rounds side by side, which seed 1 plays to
#           one round each.
# Neither shows the wall clock nor the background grid, so the pictures do not depend on
# the time of day.
make_folder() {
  mkdir -p "$work/$1"
  ln -s "$TANDRIX_GAME_DATA/pak" "$work/$1/pak"
  cp "$TANDRIX_GAME_DATA/tandrix.cfg" "$work/$1/tandrix.cfg"
  python3 - "$work/$1/tandrix.cfg" "$1" <<'PY'
import sys
path, what = sys.argv[1], sys.argv[2]
b = bytearray(open(path, 'rb').read()[:164])
keys = [(37, 39, 38), (65, 68, 87), (74, 76, 73), (100, 102, 104)]
for i in range(12):
    if what == 'tie':
        b[12 * i] = 3 if i < 3 else 1
        b[12 * i + 1] = 1
    else:
        b[12 * i] = 2 if i < 4 else 4
        b[12 * i + 1] = 1 + (i * 7) % 20
        if i < 4:
            b[12 * i + 8:12 * i + 11] = bytes(keys[i])
        b[12 * i + 11] = 1 + i % 4
b[146] = 5 if what == 'tie' else 0   # race / into the middle
b[149] = 0   # no wall clock
b[151] = 1   # start places shown during the countdown
b[152] = 0   # three rounds
b[157] = 0   # no background grid
open(path, 'wb').write(bytes(b))
PY
}
make_folder twelve
make_folder tie

# shot FOLDER FRAMES FILE [OPTIONS]: a deathmatch of FOLDER's set-up, seed 1, the picture
# of frame FRAMES.
shot() {
  local folder=$1 frames=$2 file=$3
  shift 3
  : >"$work/trace.txt"
  (cd "$work/$folder" && exec "$TANDRIX_BINARY" --windowed --start deathmatch --seed 1 \
    --fixed-dt 0.0166666 --frames "$frames" --trace --screenshot "$work/$file" "$@" \
    >"$work/trace.txt" 2>"$work/err.txt") &
  pid=$!
  wait "$pid"
  local code=$?
  pid=""
  [ "$code" -eq 0 ] || fail "the game ($folder, $frames frames $*) ended with exit code $code"
  [ -s "$work/$file" ] || fail "no screenshot $file"
}

# --- The countdown: a label beside every worm; --classic draws today's picture. ---
shot twelve 700 count.bmp
grep -q "phase=ShowingThree$" "$work/trace.txt" || fail "frame 700 is not in the countdown"
shot twelve 700 count_classic.bmp --classic
python3 "$pixels" same "$work/count_classic.bmp" "$pictures/classic_countdown.png" ||
  fail "--classic changed the countdown's picture"
python3 "$pixels" labels "$work/count.bmp" "$work/count_classic.bmp" ||
  fail "a worm has no label at the countdown"

# --- A computer-only round's result stays over the next round's intro. ---
shot tie 905 next.bmp
grep -q "phase=RoundIntro$" "$work/trace.txt" || fail "frame 905 is not in the second intro"
shot tie 905 next_classic.bmp --classic
python3 "$pixels" same "$work/next_classic.bmp" "$pictures/classic_next_round.png" ||
  fail "--classic changed the next round's intro"
python3 "$pixels" text "$work/next.bmp" "$TANDRIX_SOURCE_DIR" 158 \
  "round 1: |255,255,255" "player 1|76,255,76" " wins|255,255,255" ||
  fail "the first round's result is not held over the next intro"

# --- The final screen of a tie names it. ---
shot tie 1600 final.bmp
grep -q "phase=GameOver$" "$work/trace.txt" || fail "the match did not reach its final screen"
grep -q "round=3 winner=1 " "$work/trace.txt" || fail "the seeded match no longer ends one round each"
shot tie 1600 final_classic.bmp --classic
python3 "$pixels" same "$work/final_classic.bmp" "$pictures/classic_final_tie.png" ||
  fail "--classic changed the final screen"
python3 "$pixels" text "$work/final.bmp" "$TANDRIX_SOURCE_DIR" 134 \
  "a tie: |255,255,255" "player 1|76,255,76" ", |255,255,255" "player 2|255,76,76" \
  " and |255,255,255" "player 3|76,76,255" ||
  fail "the final screen does not name the tie"
echo "tell_window: all checks passed"

#!/usr/bin/env bash
# Recorded matches are the regression net: every recording in tests/replays/ (format 1,
# the devices from the program's start) and tests/replays/match/ (format 2, the matches
# from their start) replays headless to the digests it was recorded with; a match recorded now in a real window,
# with keys pressed by xdotool, replays to the same rounds; the same seed plays the same
# match with a sound device (SDL's disk driver) and headless; a damaged recording is
# refused naming the file.
set -uo pipefail
: "${TANDRIX_BINARY:?set by ctest: the tandrix binary}"
: "${TANDRIX_GAME_DATA:?set by ctest: the generated game folder}"
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
export LC_ALL=C
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "replays: $*" >&2
  exit 1
}
mkdir -p "$work/game"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/game/pak"
cp "$TANDRIX_GAME_DATA/tandrix.cfg" "$work/game/tandrix.cfg"
run() { (cd "$work/game" && "$TANDRIX_BINARY" "$@"); }

# 1. Every committed recording replays to its digests.
count=0
for r in "$TANDRIX_SOURCE_DIR"/tests/replays/*.tdxr "$TANDRIX_SOURCE_DIR"/tests/replays/match/*.tdxr; do
  [ -f "$r" ] || continue
  out=$(run --headless --replay "$r" --trace 2>&1) ||
    fail "$(basename "$r") no longer replays to its digests (make it again with tests/replays/record.sh if the rules changed on purpose): $(echo "$out" | grep -v '^frame=' | tail -3)"
  rounds=$(echo "$out" | grep -c '^round=')
  [ "$rounds" -ge 1 ] || fail "$(basename "$r") scored no round"
  echo "replays: ${r#"$TANDRIX_SOURCE_DIR"/tests/replays/}: $rounds rounds as recorded"
  count=$((count + 1))
done
[ "$count" -ge 1 ] || fail "no recordings in tests/replays"

# 2. A match recorded now by the game in a window replays headless to the same rounds.
bash "$TANDRIX_SOURCE_DIR/tests/replays/record.sh" "$work/live.tdxr" people_and_computers \
  "$work/live.trace" || fail "recording a live match failed"
run --headless --replay "$work/live.tdxr" --trace 2>"$work/err" | grep '^round=' >"$work/again.trace"
[ "${PIPESTATUS[0]}" -eq 0 ] || fail "the live recording does not replay: $(cat "$work/err")"
diff "$work/live.trace" "$work/again.trace" >&2 || fail "replayed rounds differ from the live ones"
echo "replays: a live match of $(wc -l <"$work/live.trace") rounds replays to the same digests"

# 3. The same seed and clock with a sound device, and headless: the same match.
python3 - "$work/game/tandrix.cfg" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read()[:164])
for i in range(12):
    b[12 * i] = 3 if i < 4 else 1   # four computer players
    b[12 * i + 1] = 255             # random kinds
b[146] = 4                          # random places
b[152] = 1                          # ten rounds
b[145] = 1                          # constant speed ...
b[153] = 9                          # ... of 150: short rounds
b[144 + 15] = 1                     # music on
open(sys.argv[1], 'wb').write(bytes(b))
PY
args=(--start deathmatch --seed 77 --fixed-dt 0.02 --frames 1500 --trace)
run --headless "${args[@]}" | grep '^round=' >"$work/headless.trace"
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_VIDEODRIVER=offscreen \
  run --windowed "${args[@]}" 2>/dev/null | grep '^round=' >"$work/sound.trace"
[ -s "$work/headless.trace" ] || fail "the headless match scored no round"
diff "$work/headless.trace" "$work/sound.trace" >&2 || fail "the match differs with a sound device"
echo "replays: $(wc -l <"$work/headless.trace") rounds the same with a sound device and headless"

# 4. Damaged, foreign and missing recordings are refused, naming the file.
head -c 100 "$work/live.tdxr" >"$work/cut.tdxr"
for bad in "$work/cut.tdxr" "$work/game/tandrix.cfg" "$work/none.tdxr"; do
  run --headless --replay "$bad" 2>"$work/err" >/dev/null
  code=$?
  [ "$code" -eq 1 ] || fail "$bad: exit code $code, wanted 1"
  grep -q "tandrix: $bad: " "$work/err" || fail "$bad: the error does not name the file: $(cat "$work/err")"
done
echo "replays: damaged recordings are refused with their names"

# 5. A recording from a stranger cannot hang or stop the game: the live match's own start
#    with crafted frames after it (clocks that are no time, run backwards or jump a
#    lifetime; controls that do not exist), each refused at once, naming the file.
python3 - "$work/live.tdxr" "$work" <<'PY'
import struct, sys, zlib
src, out = sys.argv[1], sys.argv[2]
b = open(src, 'rb').read()
d = zlib.decompressobj()
payload = d.decompress(b[12:])
vlen = struct.unpack_from('<H', payload, 0)[0]
at = 2 + vlen + 4 + 8
slen = struct.unpack_from('<I', payload, at)[0]
header = payload[:at + 4 + slen]
frames = {
    'nan': bytes([1]) + struct.pack('<dd', float('nan'), 1.0),
    'backwards': bytes([2]) + struct.pack('<d', -0.5),
    'lifetime': bytes([2]) + struct.pack('<d', 3e9),
    'controls': bytes([2 | 8]) + struct.pack('<d', 0.02) + bytes([0x80] + [0] * 11),
}
for name, frame in frames.items():
    body = b[:12] + zlib.compress(header + frame + b'\xff')
    body += struct.pack('<Q', 1)
    body += struct.pack('<I', zlib.crc32(body) & 0xffffffff)
    open(f'{out}/crafted_{name}.tdxr', 'wb').write(body)
PY
for name in nan backwards lifetime controls; do
  bad="$work/crafted_$name.tdxr"
  (cd "$work/game" && timeout 60 "$TANDRIX_BINARY" --headless --replay "$bad" >/dev/null 2>"$work/err")
  code=$?
  [ "$code" -eq 1 ] || fail "crafted recording ($name): exit code $code, wanted 1"
  grep -q "tandrix: $bad: .*damaged: frame 0" "$work/err" || fail "crafted recording ($name): $(cat "$work/err")"
done
echo "replays: crafted recordings are refused at once"

# 6. Two games recording into one folder at the same moment keep both matches.
before=$(ls "$work/game/replays" 2>/dev/null | grep -c '\.tdxr$')
run --headless --start deathmatch --seed 1 --fixed-dt 0.02 >/dev/null 2>&1 &
first=$!
run --headless --start deathmatch --seed 2 --fixed-dt 0.02 >/dev/null 2>&1
wait "$first"
after=$(ls "$work/game/replays" | grep -c '\.tdxr$')
[ "$after" -eq $((before + 2)) ] || fail "two games at once kept $((after - before)) matches, not 2"
[ -z "$(ls "$work/game/replays" | grep -v '\.tdxr$')" ] || fail "temporaries were left: $(ls "$work/game/replays")"
echo "replays: two games at once keep both their matches"


# 7. A disk that takes no more bytes (here a file size limit of nothing, which fails the
#    writes as a full disk does) is reported, naming the file; the match plays to its end
#    and no temporary is left behind.
rm -rf "$work/game/replays"
# The messages go through a pipe, as no file can take them under that limit.
(cd "$work/game" && ulimit -f 0 &&
  timeout 120 "$TANDRIX_BINARY" --headless --start deathmatch --seed 3 --fixed-dt 0.02 \
    --record "$work/full.tdxr" 2>&1 >/dev/null) | cat >"$work/err"
code=${PIPESTATUS[0]}
[ "$code" -eq 1 ] || fail "a full disk: exit code $code, wanted 1 ($(cat "$work/err"))"
grep -q "tandrix: $work/full.tdxr: cannot write" "$work/err" || fail "a full disk: $(cat "$work/err")"
grep -q "tandrix: matches are not kept: .*cannot write" "$work/err" || fail "a full disk: $(cat "$work/err")"
[ ! -e "$work/full.tdxr" ] || fail "a full disk left a recording that was never finished"
leftovers=$(ls -a "$work" "$work/game/replays" 2>/dev/null | grep '\.part$')
[ -z "$leftovers" ] || fail "a full disk left temporaries: $leftovers"
echo "replays: a full disk is reported and leaves nothing half-written"

#!/usr/bin/env bash
# Cross-checks our archives with independent readers: pakpack packs a folder of fixture
# files, lsar lists it, unar extracts it with the game's password and every file must come
# back byte for byte; bsdtar lists it too, because it checks the header CRCs that unar does
# not (bsdtar is never used to extract: it would write the ciphertext and succeed).
# When a generated game folder exists, its five archives are listed and extracted as well.
set -euo pipefail

: "${TANDRIX_PAKPACK:?set by ctest: the pakpack binary}"
PASSWORD=mtqhav81xue6dwpn39
export LC_ALL=C

fail() {
  echo "archives_unar: $*" >&2
  exit 1
}
for tool in lsar unar bsdtar cmp; do
  command -v "$tool" >/dev/null ||
    fail "$tool is missing (scripts/install-deps installs unar and libarchive-tools)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Sizes around the 16-byte cipher block, every byte value, a large text, a name with a
# space; a sub-folder that must not be packed.
in="$work/in"
mkdir -p "$in/sub"
: >"$in/empty.bin"
printf 'x' >"$in/one.txt"
printf '%015d' 15 >"$in/fifteen.bin"
printf '%016d' 16 >"$in/sixteen.bin"
printf '%017d' 17 >"$in/seventeen.bin"
seq 1 50000 >"$in/numbers.txt"
for i in $(seq 0 255); do printf "\\$(printf %03o "$i")"; done >"$in/bytes.bin"
printf 'two words\n' >"$in/two words.bmp"
echo "not packed" >"$in/sub/inner.txt"

pak="$work/fixture.pak"
"$TANDRIX_PAKPACK" "$pak" "$in" || fail "pakpack failed on $in"
"$TANDRIX_PAKPACK" "$work/again.pak" "$in" || fail "pakpack failed on $in (second run)"
cmp -s "$pak" "$work/again.pak" ||
  fail "pakpack is not repeatable: two runs gave different bytes"
[ ! -e "$pak.tmp" ] || fail "pakpack left $pak.tmp behind"
if grep -qa '49999' "$pak"; then
  fail "the archive holds readable text: members are not encrypted"
fi

expected=$(find "$in" -maxdepth 1 -type f -printf '%f\n' | sort)
listed=$(lsar "$pak" | tail -n +2)
[ "$listed" = "$expected" ] || fail "lsar lists other members than were packed:
$listed
--- expected ---
$expected"

bsdtar -tvf "$pak" >/dev/null || fail "bsdtar finds a damaged header in $pak"

out="$work/out"
unar -q -p "$PASSWORD" -D -o "$out" "$pak" >/dev/null || fail "unar could not extract $pak"
extracted=$(find "$out" -type f -printf '%P\n' | sort)
[ "$extracted" = "$expected" ] || fail "unar extracted other files than were packed:
$extracted"
while IFS= read -r name; do
  cmp -s "$in/$name" "$out/$name" || fail "$name differs after extraction with unar"
done <<<"$expected"

if unar -q -p wrong-password -D -o "$work/wrong" "$pak" >/dev/null 2>&1; then
  fail "unar extracted $pak with a wrong password"
fi

# The header check is real: one changed byte in a stored name must make bsdtar complain.
cp "$pak" "$work/damaged.pak"
offset=$(grep -abo 'numbers.txt' "$work/damaged.pak" | head -n 1 | cut -d: -f1)
printf 'N' | dd of="$work/damaged.pak" bs=1 seek="$offset" conv=notrunc status=none
if bsdtar -tvf "$work/damaged.pak" >/dev/null 2>&1; then
  fail "bsdtar accepted a damaged header, so its check of our headers proves nothing"
fi

# The generated game folder, when there is one.
game="${TANDRIX_GAME_DATA:-}"
if [ -n "$game" ] && [ -d "$game/pak" ]; then
  for name in gfx snd music items dat; do
    archive="$game/pak/$name.pak"
    [ -f "$archive" ] || fail "$archive is missing"
    bsdtar -tvf "$archive" >/dev/null || fail "bsdtar finds a damaged header in $archive"
    members=$(lsar "$archive" | tail -n +2 | grep -c . || true)
    dest="$work/game-$name"
    unar -q -p "$PASSWORD" -D -o "$dest" "$archive" >/dev/null ||
      fail "unar could not extract $archive"
    files=$(find "$dest" -type f 2>/dev/null | grep -c . || true)
    [ "$members" = "$files" ] ||
      fail "$archive: lsar lists $members members but unar extracted $files"
    echo "archives_unar: $archive: $members members extracted"
  done
fi
echo "archives_unar: ok"

#!/usr/bin/env bash
# The program as a player or packager meets it: the command line, a missing or short
# tandrix.cfg, no display, and a headless run from the loading screen to the main menu.
set -uo pipefail

: "${TANDRIX_BINARY:?set by ctest: the tandrix binary}"
: "${TANDRIX_GAME_DATA:?set by ctest: the generated game folder}"
export LC_ALL=C
unset DISPLAY WAYLAND_DISPLAY

fail() {
  echo "game_startup: $*" >&2
  exit 1
}

[ -f "$TANDRIX_GAME_DATA/pak/gfx.pak" ] || fail "no generated game folder at $TANDRIX_GAME_DATA (run make build)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game="$work/game"
mkdir -p "$game"
ln -s "$TANDRIX_GAME_DATA/pak" "$game/pak"
cd "$game" || exit 1

# Unknown options print the usage and exit 2; --help and --version exit 0.
"$TANDRIX_BINARY" --no-such-option >out.txt 2>err.txt
[ $? -eq 2 ] || fail "an unknown option did not exit with 2"
grep -q "usage: tandrix" err.txt || fail "an unknown option did not print the usage"
"$TANDRIX_BINARY" --frames abc >/dev/null 2>&1
[ $? -eq 2 ] || fail "--frames abc did not exit with 2"
# Options that cannot work together are refused with the reason.
while IFS='|' read -r args reason; do
  # shellcheck disable=SC2086
  "$TANDRIX_BINARY" $args >/dev/null 2>err.txt
  [ $? -eq 2 ] || fail "'$args' did not exit with 2"
  grep -qF -- "$reason" err.txt || fail "'$args' did not say '$reason': $(cat err.txt)"
done <<'CASES'
--headless --host --join 127.0.0.1|--host and --join cannot be combined
--headless --host 0 --start deathmatch --machines 2|--host needs a port from 1 to 65535
--headless --host 70000 --start deathmatch --machines 2|--host needs a port from 1 to 65535
--headless --join host:abc|--join needs ADDRESS or ADDRESS:PORT
--headless --join :24512|--join needs the host's name or address
--headless --host --start deathmatch --machines 13|--machines needs a whole number from 1 to 12
--headless --host --start deathmatch|--headless --host needs --start and --machines
--headless --host|--headless --host needs --start and --machines
--host --start deathmatch|--host --start needs --machines
--headless --join 127.0.0.1 --input-delay 5|--input-delay needs a whole number from 0 to 4
--headless --watch|--watch needs --join
--headless --realtime|--realtime needs --headless with --host or --join
--host --start deathmatch --machines 2 --realtime|--realtime needs --headless with --host or --join
--headless --join 127.0.0.1 --replay x.tdxr|--replay cannot be combined with --host or --join
--export x.mp4|--export needs --replay
--replay x.tdxr --export x.mp4 --headless|--export cannot be combined with --windowed, --headless
--replay x.tdxr --export x.mp4 --record y.tdxr|--export cannot be combined with --windowed, --headless
CASES
"$TANDRIX_BINARY" --help | grep -q -- "--headless" || fail "--help does not list the options"
"$TANDRIX_BINARY" --version | grep -q "^tandrix " || fail "--version does not print the version"

# A missing settings file stops start-up with a message naming it, and writes no file.
"$TANDRIX_BINARY" --headless --frames 5 >out.txt 2>err.txt
[ $? -eq 1 ] || fail "a missing tandrix.cfg did not exit with 1"
grep -q "tandrix.cfg" err.txt || fail "the message does not name tandrix.cfg: $(cat err.txt)"
grep -q "make build" err.txt || fail "the message does not say how to get the set-up back: $(cat err.txt)"
[ ! -e tandrix.cfg ] || fail "a default tandrix.cfg was written"

# A short file is refused the same way and left as it was.
head -c 100 "$TANDRIX_GAME_DATA/tandrix.cfg" >tandrix.cfg
"$TANDRIX_BINARY" --headless --frames 5 >out.txt 2>err.txt
[ $? -eq 1 ] || fail "a short tandrix.cfg did not exit with 1"
grep -q "too short" err.txt || fail "the message does not say the file is short: $(cat err.txt)"
[ "$(stat -c %s tandrix.cfg)" = 100 ] || fail "the short tandrix.cfg was changed"

# A longer file is read by its first 164 bytes.
{ cat "$TANDRIX_GAME_DATA/tandrix.cfg"; printf 'trailing bytes'; } >tandrix.cfg
cp tandrix.cfg before.cfg

# Headless with a seed and a fixed step: loading, then the main menu, and the same phase
# lines every time.
"$TANDRIX_BINARY" --headless --seed 3 --fixed-dt 0.02 --frames 700 --trace >trace1.txt 2>err.txt
[ $? -eq 0 ] || fail "the headless run failed: $(cat err.txt)"
head -1 trace1.txt | grep -q "^frame=0 t=0.000 phase=Loading$" || fail "the run did not start in Loading: $(head -1 trace1.txt)"
grep -q "phase=LoadingDone" trace1.txt || fail "loading never finished"
grep -q "phase=MainMenuBuild" trace1.txt || fail "the main menu was never built"
tail -1 trace1.txt | grep -q "phase=MainMenu$" || fail "the run did not end in the main menu: $(tail -1 trace1.txt)"
"$TANDRIX_BINARY" --headless --seed 3 --fixed-dt 0.02 --frames 700 --trace >trace2.txt 2>/dev/null
cmp -s trace1.txt trace2.txt || fail "two seeded runs gave different phase lines"
cmp -s tandrix.cfg before.cfg || fail "the run rewrote tandrix.cfg"
# The first start writes the readable look file beside it, with its defaults.
grep -qx "colours = normal" tandrix-look.ini || fail "no default tandrix-look.ini was written"
# Nothing extracted is left in the game folder.
leftover=$(ls | grep -v -e '^pak$' -e '\.txt$' -e '\.cfg$' -e '^tandrix-look\.ini$' || true)
[ -z "$leftover" ] || fail "files left in the game folder: $leftover"

# A bad line in tandrix-look.ini is told, by file and line, and the game runs as before.
printf 'classic = no\ncolours = sepia\n' >tandrix-look.ini
"$TANDRIX_BINARY" --headless --seed 3 --fixed-dt 0.02 --frames 700 --trace >trace3.txt 2>err.txt
[ $? -eq 0 ] || fail "a bad tandrix-look.ini stopped the game: $(cat err.txt)"
grep -qF 'tandrix-look.ini:2: colours is "sepia"' err.txt || fail "the bad line was not told: $(cat err.txt)"
cmp -s trace1.txt trace3.txt || fail "a bad tandrix-look.ini changed what the game did"
cmp -s tandrix.cfg before.cfg || fail "reading tandrix-look.ini changed tandrix.cfg"

# A match asked for headless cannot wait for people: the shipped set-up (two people) is
# refused at once, naming them, instead of waiting at the first waiting screen for ever.
for mode in deathmatch team_deathmatch; do
  timeout 60 "$TANDRIX_BINARY" --headless --start $mode >out.txt 2>err.txt
  code=$?
  [ $code -eq 2 ] || fail "--headless --start $mode with people exited with $code"
  grep -q "people in players 1 and 2" err.txt || fail "--headless --start $mode: $(cat err.txt)"
done
[ ! -e replays ] || fail "a refused match left a recording"

# Without the menu words (items.pak missing or damaged) start-up stops naming the file,
# instead of showing a blank main menu.
mkdir -p "$work/bare/pak"
for f in "$TANDRIX_GAME_DATA"/pak/*.pak; do
  [ "$(basename "$f")" = items.pak ] || ln -s "$f" "$work/bare/pak/"
done
cp tandrix.cfg "$work/bare/"
for items in missing damaged; do
  [ $items = damaged ] && head -c 5000 "$TANDRIX_GAME_DATA/pak/items.pak" >"$work/bare/pak/items.pak"
  (cd "$work/bare" && "$TANDRIX_BINARY" --headless --frames 5 >out.txt 2>err.txt)
  code=$?
  [ $code -eq 1 ] || fail "with items.pak $items the exit code was $code"
  grep -q "pak/items.pak" "$work/bare/err.txt" || fail "with items.pak $items: $(cat "$work/bare/err.txt")"
done

# No display: a clear message and exit 1, no crash.
"$TANDRIX_BINARY" --windowed --frames 5 >out.txt 2>err.txt
code=$?
[ $code -eq 1 ] || fail "without a display the exit code was $code"
grep -q "Unsupported video mode" err.txt || fail "without a display: $(cat err.txt)"

echo "game_startup: all checks passed"

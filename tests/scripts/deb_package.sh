#!/usr/bin/env bash
# The game as a Debian package, as a packager and a player meet it: `make deb`'s build,
# checked by lintian, desktop-file-validate and appstreamcli; unpacked into a scratch root
# and run from an empty folder with a scratch home, where the player's set-up goes to the
# XDG config folder, the replays to the XDG data folder and nothing to the working folder;
# and a missing or damaged archive or default set-up says to reinstall the package.
set -uo pipefail
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
export LC_ALL=C
unset DISPLAY WAYLAND_DISPLAY TANDRIX_DATA_DIR XDG_CONFIG_HOME XDG_DATA_HOME

fail() {
  echo "deb_package: $*" >&2
  exit 1
}
for tool in dpkg-buildpackage dh lintian desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps installs it)"
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# 1. The package builds (without its own tests: `make test` is where they run).
DEB_BUILD_OPTIONS="nocheck parallel=2" bash "$TANDRIX_SOURCE_DIR/scripts/build-deb" "$work/deb" \
  >"$work/build.log" 2>&1 || fail "the package did not build: $(tail -30 "$work/build.log")"
# The program and its data, the data once for every architecture.
deb=$(ls "$work"/deb/tandrix_*_*.deb 2>/dev/null)
datadeb=$(ls "$work"/deb/tandrix-data_*_all.deb 2>/dev/null)
[ -f "$deb" ] && [ -f "$datadeb" ] || fail "tandrix and tandrix-data were not built: $(ls "$work/deb")"
echo "deb_package: built $(basename "$deb") and $(basename "$datadeb")"

# 2. The package tools find nothing to fix (overrides in debian/ say why).
lintian --fail-on error,warning --display-info "$work"/deb/tandrix_*.changes >"$work/lintian.txt" 2>&1 ||
  fail "lintian: $(cat "$work/lintian.txt")"
grep -E '^[EW]: ' "$work/lintian.txt" && fail "lintian has errors or warnings"
# Anything lintian still says (information only) is shown; its note that CI runs it as
# root is not about the package.
grep -v 'running with root privileges' "$work/lintian.txt" | sed 's/^/deb_package: lintian: /'

root="$work/root"
for d in "$deb" "$datadeb"; do
  dpkg-deb -x "$d" "$root" || fail "dpkg-deb could not unpack $(basename "$d")"
done
share="$root/usr/share"
desktop="$share/applications/org.tandrix.tandrix.desktop"
metainfo="$share/metainfo/org.tandrix.tandrix.metainfo.xml"
desktop-file-validate "$desktop" >"$work/dfv.txt" 2>&1 || fail "desktop-file-validate: $(cat "$work/dfv.txt")"
[ -s "$work/dfv.txt" ] && fail "desktop-file-validate: $(cat "$work/dfv.txt")"
appstreamcli validate --no-net --pedantic "$metainfo" >"$work/as.txt" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/as.txt")"
grep -q '<control>gamepad</control>' "$metainfo" || fail "the metadata does not say gamepads work"

# 3. What is where: the program, the archives and default set-up, the menu entry, the icon
# at each size (a picture of that size), the manual page; SDL2_mixer named as a dependency
# since the program opens it only when there is a sound output.
for f in usr/games/tandrix usr/share/games/tandrix/{gfx,snd,music,items,dat}.pak \
         usr/share/games/tandrix/tandrix.cfg usr/share/man/man6/tandrix.6.gz \
         usr/share/icons/hicolor/scalable/apps/org.tandrix.tandrix.svg \
         usr/share/doc/tandrix/copyright; do
  [ -s "$root/$f" ] || fail "the package has no /$f"
done
[ -x "$root/usr/games/tandrix" ] || fail "/usr/games/tandrix is not executable"
grep -q '^Exec=tandrix$' "$desktop" || fail "the menu entry does not start tandrix"
for size in 16 32 48 64 128 256; do
  png="$share/icons/hicolor/${size}x${size}/apps/org.tandrix.tandrix.png"
  [ -f "$png" ] || fail "no ${size}x${size} icon"
  got=$(python3 -c 'import struct,sys; d=open(sys.argv[1],"rb").read(24); print("%dx%d" % struct.unpack(">II", d[16:24]) if d[:8]==b"\x89PNG\r\n\x1a\n" else "not a PNG")' "$png")
  [ "$got" = "${size}x${size}" ] || fail "the ${size}x${size} icon is $got"
done
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libsdl2-mixer-2.0-0 libsdl2-2.0-0 libenet7 tandrix-data; do
  echo "$depends" | grep -q "\b$dep\b" || fail "Depends lacks $dep: $depends"
done

# 4. The installed game, run by a player in an empty folder.
data="$share/games/tandrix"
home="$work/home"
play="$work/play"
mkdir -p "$home" "$play"
game() { (cd "$play" && env HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  TANDRIX_DATA_DIR="$data" TANDRIX_NO_MESSAGE_BOX=1 "$root/usr/games/tandrix" "$@"); }
config="$home/config/tandrix"
replays="$home/data/tandrix/replays"

game --help >"$work/help.txt" || fail "--help failed"
for folder in "$data" "$config/tandrix.cfg" "$replays"; do
  grep -qF "$folder" "$work/help.txt" || fail "--help does not name $folder: $(cat "$work/help.txt")"
done

game --headless --seed 3 --fixed-dt 0.02 --frames 700 --trace >"$work/trace.txt" 2>"$work/err.txt" ||
  fail "the installed game did not start: $(cat "$work/err.txt")"
tail -1 "$work/trace.txt" | grep -q "phase=MainMenu$" || fail "the installed game did not reach the main menu"
cmp -s "$config/tandrix.cfg" "$data/tandrix.cfg" || fail "the first start did not write the default set-up to $config"
grep -qx "classic = no" "$config/tandrix-look.ini" || fail "the first start did not write tandrix-look.ini to $config"
[ -z "$(ls -A "$play")" ] || fail "the game wrote into the working folder: $(ls -A "$play")"

# A match of computer players: the set-up as the player changed it is kept, and the match
# goes to the replays folder, from where it replays to its digests.
python3 - "$config/tandrix.cfg" <<'PY'
import sys
b = bytearray(open(sys.argv[1], 'rb').read()[:164])
for i in range(12):
    b[12 * i] = 3 if i < 2 else 1   # two computer players
    b[12 * i + 1] = 255             # random kinds
b[152] = 1                          # ten rounds
open(sys.argv[1], 'wb').write(bytes(b))
PY
cp "$config/tandrix.cfg" "$work/mine.cfg"
game --headless --start deathmatch --seed 7 --fixed-dt 0.02 --frames 1200 >/dev/null 2>"$work/err.txt" ||
  fail "the installed game could not play a match: $(cat "$work/err.txt")"
cmp -s "$config/tandrix.cfg" "$work/mine.cfg" || fail "the player's set-up was replaced"
kept=("$replays"/match-*.tdxr)
[ -f "${kept[0]}" ] || fail "the match was not kept in $replays: $(find "$home" -type f)"
game --headless --replay "${kept[0]}" >/dev/null 2>"$work/err.txt" ||
  fail "the kept match does not replay: $(cat "$work/err.txt")"
[ -z "$(ls -A "$play")" ] || fail "the game wrote into the working folder: $(ls -A "$play")"
# A network match (a host that begins alone) reads the same set-up and keeps its match there too.
port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
game --headless --host "$port" --start deathmatch --machines 1 --seed 8 >/dev/null 2>"$work/err.txt" ||
  fail "the installed game could not host a network match: $(cat "$work/err.txt")"
kept=("$replays"/match-*.tdxr)
[ "${#kept[@]}" -eq 2 ] || fail "the network match was not kept in $replays: $(ls "$replays")"
[ -z "$(ls -A "$play")" ] || fail "the network match wrote into the working folder: $(ls -A "$play")"
others=$(cd "$home" && find . -type f ! -path './config/tandrix/tandrix.cfg' \
  ! -path './config/tandrix/tandrix-look.ini' ! -path './data/tandrix/replays/*')
[ -z "$others" ] || fail "the game wrote other files in the home folder: $others"

# Without XDG variables the set-up and replays go to ~/.config and ~/.local/share.
home2="$work/home2"
mkdir -p "$home2"
(cd "$play" && env -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$home2" TANDRIX_DATA_DIR="$data" \
  "$root/usr/games/tandrix" --headless --frames 5 >/dev/null 2>"$work/err.txt") ||
  fail "the game did not start with HOME alone: $(cat "$work/err.txt")"
[ -f "$home2/.config/tandrix/tandrix.cfg" ] || fail "no set-up in ~/.config/tandrix"
[ -d "$home2/.local/share/tandrix" ] || fail "no ~/.local/share/tandrix"

# 5. A broken installation: the message names the file and says to reinstall; a player's
# fresh home gets no half-made set-up.
while IFS='|' read -r what break names; do
  rm -rf "$work/broken" "$work/fresh"
  cp -r "$data" "$work/broken"
  (cd "$work/broken" && eval "$break")
  mkdir -p "$work/fresh"
  (cd "$play" && env HOME="$work/fresh" TANDRIX_DATA_DIR="$work/broken" TANDRIX_NO_MESSAGE_BOX=1 \
    "$root/usr/games/tandrix" --headless --frames 5 >/dev/null 2>"$work/err.txt")
  [ $? -eq 1 ] || fail "$what: the game did not stop with 1"
  grep -qF "$work/broken/$names" "$work/err.txt" || fail "$what: the message does not name $names: $(cat "$work/err.txt")"
  grep -q "reinstall the tandrix package" "$work/err.txt" || fail "$what: the message does not say to reinstall: $(cat "$work/err.txt")"
  echo "deb_package: $what: $(cat "$work/err.txt")"
done <<'CASES'
a missing archive|rm items.pak|items.pak
a damaged archive|head -c 3000 dat.pak >x && mv x dat.pak|dat.pak
a missing default set-up|rm tandrix.cfg|tandrix.cfg
CASES
[ -z "$(ls -A "$work/fresh")" ] || fail "a broken installation left files in the home folder: $(cd "$work/fresh" && find .)"
echo "deb_package: the package installs, runs and keeps the player's files in their home"

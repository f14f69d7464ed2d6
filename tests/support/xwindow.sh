# Shared by the scripts that drive the real game window under Xvfb with xdotool. Source it
# after setting `name` (the script's name for messages) and `xvfb_base` (the first display
# number it may take; each script has its own range, so scripts that start together never
# race for one). It re-runs the script inside its own Xvfb, then gives it a work folder, a
# cleanup that ends the game, and the helpers below. The game's trace goes to
# $work/trace.txt and its stderr to $work/err.txt.
: "${TANDRIX_BINARY:?set by ctest: the tandrix binary}"
: "${TANDRIX_GAME_DATA:?set by ctest: the generated game folder}"
export LC_ALL=C

if [ -z "${TANDRIX_IN_XVFB:-}" ]; then
  for tool in xvfb-run xdotool python3; do
    command -v "$tool" >/dev/null || { echo "$name: $tool is missing" >&2; exit 1; }
  done
  [ -f "$TANDRIX_GAME_DATA/pak/gfx.pak" ] || { echo "$name: no game folder at $TANDRIX_GAME_DATA" >&2; exit 1; }
  export TANDRIX_IN_XVFB=1
  exec xvfb-run -a -n "$xvfb_base" -s "-screen 0 1024x768x24" bash "$0" "$@"
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
  echo "$name: $*" >&2
  [ -f "$work/trace.txt" ] && { echo "--- trace ---" >&2; tail -30 "$work/trace.txt" >&2; }
  [ -f "$work/err.txt" ] && { echo "--- stderr ---" >&2; tail -20 "$work/err.txt" >&2; }
  exit 1
}

# A copy of the game folder: the player's own tandrix.cfg is never touched.
mkdir -p "$work/game"
ln -s "$TANDRIX_GAME_DATA/pak" "$work/game/pak"
cp "$TANDRIX_GAME_DATA/tandrix.cfg" "$work/game/tandrix.cfg"

# Waits until the trace has shown `phase` at least `count` times.
wait_phase() {
  local phase=$1 count=${2:-1} limit=${3:-60}
  for _ in $(seq 1 $((limit * 10))); do
    [ "$(grep -c "phase=$phase\$" "$work/trace.txt")" -ge "$count" ] && return 0
    kill -0 "$pid" 2>/dev/null || fail "the game ended while waiting for $phase"
    sleep 0.1
  done
  fail "no $phase within $limit s"
}
window=""
find_window() {
  window=$(xdotool search --sync --name '^Tandrix$' | head -1)
  [ -n "$window" ] || fail "no window named Tandrix"
  eval "$(xdotool getwindowgeometry --shell "$window")"
  scale=$((WIDTH / 640))
  [ "$scale" -ge 1 ] || fail "the window is smaller than the view: ${WIDTH}x${HEIGHT}"
}
# Clicks the view pixel (x, y) through the window's scale.
click_view() {
  xdotool mousemove --window "$window" $(($1 * scale)) $(($2 * scale))
  sleep 0.2
  xdotool mousemove --window "$window" $(($1 * scale + 1)) $(($2 * scale))
  sleep 0.2
  xdotool click 1
}

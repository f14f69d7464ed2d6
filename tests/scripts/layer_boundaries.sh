#!/usr/bin/env bash
# The game's layers meet only through small interfaces: SDL is included only by the
# platform and audio layers, GL only by the GL renderer. Everything else (the game rules,
# menus, HUD, hooks, assets) must build without either, so it runs headless and in tests.
# The match (src/match/: its state and every rule) stands at the bottom: it includes
# nothing of the program around it, so it can be stepped, copied and replayed on its own.
# Network play (src/net/) stands on the match alone: it steps and restores matches and
# carries bytes, and knows nothing of windows, sound or menus.
set -uo pipefail
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
cd "$TANDRIX_SOURCE_DIR/src" || exit 1

status=0
sdl=$(grep -rlE '#[[:space:]]*include[[:space:]]*[<"](SDL2?/|SDL[_.a-z]*\.h)' . \
      | grep -vE '^\./(platform|audio)/' || true)
if [ -n "$sdl" ]; then
  echo "layer_boundaries: SDL included outside src/platform and src/audio:" >&2
  echo "$sdl" >&2
  status=1
fi
gl=$(grep -rlE '#[[:space:]]*include[[:space:]]*[<"](GL/|GLES|EGL/|epoxy/)' . \
     | grep -vE '^\./display/gl_renderer\.(cpp|h)$' || true)
if [ -n "$gl" ]; then
  echo "layer_boundaries: GL included outside src/display/gl_renderer:" >&2
  echo "$gl" >&2
  status=1
fi
up=$(grep -rnE '#[[:space:]]*include[[:space:]]*"' match \
     | grep -vE '#[[:space:]]*include[[:space:]]*"match/' || true)
if [ -n "$up" ]; then
  echo "layer_boundaries: the match includes something above it:" >&2
  echo "$up" >&2
  status=1
fi
net=$(grep -rnE '#[[:space:]]*include[[:space:]]*"' net 2>/dev/null \
      | grep -vE '#[[:space:]]*include[[:space:]]*"(match|net)/' || true)
if [ -n "$net" ]; then
  echo "layer_boundaries: network play includes something above the match:" >&2
  echo "$net" >&2
  status=1
fi
[ $status -eq 0 ] && echo "layer_boundaries: SDL and GL stay in their layers; the match stands alone"
exit $status

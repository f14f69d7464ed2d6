#!/usr/bin/env bash
# The GL renderer's pixel tests and the full-screen window's mouse and keys (driven by
# xdotool), in a virtual X display of their own. The 16:9 screen gives the 4:3 view black
# bars, so the letterbox mapping is exercised. Extra arguments go to the test binary.
set -euo pipefail

: "${TANDRIX_TEST_BINARY:?set by ctest: the tandrix_tests binary}"
if ! command -v xvfb-run >/dev/null; then
  echo "render_xvfb: xvfb-run is missing (scripts/install-deps installs the xvfb package)" >&2
  exit 1
fi

export TANDRIX_GL_TESTS=1
export TANDRIX_NO_MESSAGE_BOX=1
# Each suite in a process of its own, as the game opens one view per run: reopening the
# X display a third time in one process failed now and then under load. Its own range of
# display numbers, so that scripts starting together never race for one.
status=0
for suite in GlRender GlRenderWindow GlRenderWeapons; do
  xvfb-run -a -n 110 -s "-screen 0 1280x720x24" "$TANDRIX_TEST_BINARY" \
    --gtest_filter="$suite.*" "$@" || status=1
done
exit $status

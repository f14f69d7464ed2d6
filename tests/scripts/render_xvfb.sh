#!/usr/bin/env bash
# The GL renderer's pixel tests, in a virtual X display of their own.
set -euo pipefail

: "${TANDRIX_TEST_BINARY:?set by ctest: the tandrix_tests binary}"
if ! command -v xvfb-run >/dev/null; then
  echo "render_xvfb: xvfb-run is missing (scripts/install-deps installs the xvfb package)" >&2
  exit 1
fi

# Mesa and the X libraries keep some allocations until exit on purpose; the sanitizer
# build must not count those as our leaks.
supp=$(mktemp)
trap 'rm -f "$supp"' EXIT
cat >"$supp" <<'SUPP'
leak:libGLX_mesa
leak:libGLX
leak:libGL.so
leak:libgallium
leak:libLLVM
leak:swrast_dri
leak:libX11
leak:libxcb
leak:libdbus
leak:libSDL2
SUPP
export LSAN_OPTIONS="suppressions=$supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"

export TANDRIX_GL_TESTS=1
export TANDRIX_NO_MESSAGE_BOX=1
xvfb-run -a -s "-screen 0 1024x768x24" "$TANDRIX_TEST_BINARY" --gtest_filter='GlRender*'

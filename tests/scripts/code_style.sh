#!/usr/bin/env bash
# Every C++ file of the game, its tools, tests and benchmarks follows .clang-format.
# A failure lists the files; `clang-format -i FILE` puts one right.
set -uo pipefail
: "${TANDRIX_SOURCE_DIR:?set by ctest: the source folder}"
cd "$TANDRIX_SOURCE_DIR" || exit 1
command -v clang-format >/dev/null || { echo "code_style: clang-format is not installed" >&2; exit 1; }

mapfile -t files < <(find src tools tests bench -name '*.cpp' -o -name '*.h' | sort)
bad=()
for f in "${files[@]}"; do
  clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
done
if [ ${#bad[@]} -ne 0 ]; then
  echo "code_style: ${#bad[@]} file(s) differ from .clang-format:" >&2
  printf '  %s\n' "${bad[@]}" >&2
  exit 1
fi
echo "code_style: ${#files[@]} files follow .clang-format"

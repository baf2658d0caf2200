#!/usr/bin/env bash
# Checks that the tracked C and C++ sources are formatted as .clang-format says (clang-format 14,
# Debian's clang-format package). Lists the files that differ and exits 1; changes nothing.
# Usage: scripts/check-format.sh [FILE...]   (default: every tracked .c/.cc/.cpp/.h/.hpp file)
set -euo pipefail
cd "$(dirname "$0")/.."
format=${CLANG_FORMAT:-}
if [ -z "$format" ]; then
  for candidate in clang-format-14 clang-format; do
    if command -v "$candidate" >/dev/null; then format=$candidate; break; fi
  done
fi
if [ -z "$format" ]; then
  echo "check-format: clang-format not found (apt-get install clang-format)" >&2
  exit 2
fi
major=$("$format" --version | sed -n 's/.*version \([0-9]*\).*/\1/p')
if [ "$major" != 14 ]; then
  echo "check-format: $format is version ${major:-unknown}; the tree is formatted with 14" >&2
  exit 2
fi

if [ $# -gt 0 ]; then
  files=("$@")
else
  mapfile -t files < <(git ls-files -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp')
fi
[ ${#files[@]} -eq 0 ] && exit 0

unformatted=()
for file in "${files[@]}"; do
  "$format" --dry-run --Werror --style=file "$file" >/dev/null 2>&1 || unformatted+=("$file")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf '%s\n' "${unformatted[@]}"
  echo "check-format: ${#unformatted[@]} of ${#files[@]} files differ from .clang-format" \
       "(fix with: $format -i FILE)" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files formatted"

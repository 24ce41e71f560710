#!/usr/bin/env bash
# Every C++ file is checked whole against .clang-format, so an edit never has
# to reformat a file it only touches.
# usage: scripts/check-format.sh          (fix with: scripts/check-format.sh --fix)
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/install-deps.sh)"; exit 1; }
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tools/*.cpp' 'tools/*.h' 'tests/*.cpp' 'tests/*.h' \
    'fuzz/*.cpp' 'fuzz/*.h' 'bench/*.cpp' 'bench/*.h')
else
  mapfile -t files < <(find src tools tests fuzz bench -name '*.cpp' -o -name '*.h' | sort)
fi
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
status=0
for file in "${files[@]}"; do
  clang-format --dry-run --Werror "$file" >/dev/null 2>&1 || { echo "not formatted: $file"; status=1; }
done
[ $status -eq 0 ] && echo "formatting: ${#files[@]} files as .clang-format says"
[ $status -eq 0 ] || echo "run scripts/check-format.sh --fix"
exit $status

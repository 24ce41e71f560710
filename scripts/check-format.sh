#!/usr/bin/env bash
# The code style of .clang-format: the encoder front-end whole (it was
# reformatted to it), and elsewhere every line changed since the style file
# came in (older code keeps its hand layout until it is touched).
# usage: scripts/check-format.sh [BASE-COMMIT]
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/install-deps.sh)"; exit 1; }
if ! git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  echo "not a git work tree: only the encoder front-end is checked"
  base=""
else
  base=${1:-$(git log --diff-filter=A --format=%H -- .clang-format | tail -n 1)}
fi
status=0
for file in tools/encoder/*.cpp tools/encoder/*.h; do
  clang-format --dry-run --Werror "$file" 2>/dev/null || { echo "not formatted: $file"; status=1; }
done
if [ -n "$base" ]; then
  # Only lines changed since BASE, in the files changed since BASE.
  out=$(git clang-format --diff --extensions cpp,h "$base" -- src tools tests fuzz bench 2>&1 || true)
  case "$out" in
    *"no modified files to format"*|*"clang-format did not modify any files"*|"") ;;
    *) echo "$out"; echo "lines changed since $base are not formatted: run git clang-format $base"; status=1 ;;
  esac
fi
[ $status -eq 0 ] && echo "formatting: tools/encoder and every line changed since ${base:-"(no history)"} as .clang-format says"
exit $status

#!/usr/bin/env bash
# Adding 300 files to the program window under a real X server: the UI
# thread's longest stall meanwhile (target < 50 ms) against an idle window,
# the rows' order and how soon a stop click is handled (add_files_bench.cpp).
#
# usage: bench/add_files_bench.sh [BUILD_DIR] [COUNT]
#   BUILD_DIR  a configured build (default: build, the release preset)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
count=${2:-300}
[ -f "$build/CMakeCache.txt" ] || cmake --preset default >/dev/null
cmake --build "$build" --target add_files_bench >/dev/null
if grep -q '^QF_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "note: $build is a sanitizer build; its figures are higher than a release build's"
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
fi
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$build" "$count"
fi
unset QT_QPA_PLATFORM

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -al "$build/bin" "$work/prog"
rm -f "$work/prog/cfg"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
mkdir -p "$HOME"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440 \
  -t 1 -c:v mpeg4 -c:a mp3 -shortest "$work/clip.avi"
"$build/bin/add_files_bench" "$work/prog" "$work/clip.avi" "$count"

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
source "$top/bench/window_bench_common.sh"
window_bench_setup "$build" add_files_bench -- "$build" "$count"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=25 -f lavfi -i sine=frequency=440 \
  -t 1 -c:v mpeg4 -c:a mp3 -shortest "$work/clip.avi"
"$build/bin/add_files_bench" "$work/prog" "$work/clip.avi" "$count"

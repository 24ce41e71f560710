#!/usr/bin/env bash
# The conversion worker's figures (see bench/worker_bench.cpp): overhead
# against direct encoder runs, idle CPU, stop latency, queue throughput.
#
# usage: bench/worker_bench.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a configured build (default: build); a release build gives the
#              real figures, a sanitizer build overstates the worker's costs
#   RUNS       encoder runs for the median (default 5, at least 5)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
runs=${2:-5}

command -v ffmpeg >/dev/null || { echo "worker_bench: ffmpeg is missing (scripts/install-deps.sh)" >&2; exit 1; }
cmake --build "$build" --target worker_bench qf-encoder >/dev/null
if grep -q '^QF_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "note: $build is a sanitizer build; the worker's figures are higher than a release build's"
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
fi

work=$(mktemp -d)
trap 'rm -rf "$work" /tmp/qf-worker-bench-*' EXIT
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=640x480:rate=25:duration=10 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=10 -ac 2 -c:v mpeg4 -q:v 5 -c:a mp3 "$work/clip.avi"
"$build/bin/worker_bench" "$build/bin" "$work/clip.avi" "$runs"

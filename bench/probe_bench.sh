#!/usr/bin/env bash
# Files probed per second: the engine (quillfer-cli probing every file in one
# process, as the task list does when files are dropped) against the
# mediainfo command on the same files in the same run.
#
# usage: bench/probe_bench.sh [BUILD_DIR] [FILES] [ROUNDS]
#   BUILD_DIR  a configured build with quillfer-cli (default: build); a
#              sanitizer build works but understates the engine
#   FILES      distinct media files to generate (default 20)
#   ROUNDS     how often the engine probes the whole set in its one process
#              (default 10)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
files=${2:-20}
rounds=${3:-10}
cli=$build/bin/quillfer-cli

for tool in ffmpeg mediainfo; do
  command -v "$tool" >/dev/null || { echo "probe_bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$cli" ] || { echo "probe_bench: $cli not built (cmake --build $build --target quillfer-cli)" >&2; exit 1; }
if grep -q '^QF_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
  echo "note: $build is a sanitizer build; the engine's figure is lower than a release build's"
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Half AVI with video and audio, half MP3: the two kinds users drop most.
media=()
for ((i = 0; i < files; i++)); do
  if ((i % 2 == 0)); then
    f=$work/clip$i.avi
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=3" \
      -f lavfi -i "sine=frequency=$((300 + i)):duration=3" -c:v mpeg4 -c:a libmp3lame -shortest "$f"
  else
    f=$work/tone$i.mp3
    ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=$((300 + i)):duration=3" -c:a libmp3lame "$f"
  fi
  media+=("$f")
done

now() { date +%s.%N; }
rate() { awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", n / (b - a) }'; }

# Warm the page cache and the loader so neither side pays for the first read.
"$cli" probe "${media[@]}" >/dev/null
mediainfo "${media[@]}" >/dev/null

engine_args=()
for ((r = 0; r < rounds; r++)); do engine_args+=("${media[@]}"); done
t0=$(now)
"$cli" probe "${engine_args[@]}" >/dev/null
t1=$(now)
engine_rate=$(rate "${#engine_args[@]}" "$t0" "$t1")

# The command as a program would run it: once per file.
t0=$(now)
for f in "${media[@]}"; do mediainfo "$f" >/dev/null; done
t1=$(now)
command_rate=$(rate "$files" "$t0" "$t1")

# And the command's best case: every file in one process.
t0=$(now)
mediainfo "${media[@]}" >/dev/null
t1=$(now)
batch_rate=$(rate "$files" "$t0" "$t1")

echo "files: $files distinct, engine probed ${#engine_args[@]} in one process"
echo "engine (quillfer-cli probe):         $engine_rate files/s"
echo "mediainfo, one process per file:     $command_rate files/s"
echo "mediainfo, all files in one process: $batch_rate files/s"
awk -v e="$engine_rate" -v c="$command_rate" -v b="$batch_rate" 'BEGIN {
  printf "engine / command per file: %.1fx (target >= 5x)\n", e / c
  printf "engine / command in one process: %.1fx\n", e / b }'

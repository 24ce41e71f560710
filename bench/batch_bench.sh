#!/usr/bin/env bash
# A library converted by quillfer-cli against GNU parallel running the single
# ffmpeg command per file that stands for the same conversion, with the same
# number of jobs. Prints the wall time of each and their ratio, for MP3 and
# 3GP, with --jobs 1 and --jobs $(nproc) (target: quillfer-cli / parallel
# <= 1.15).
#
# Each baseline command is the one the encoder itself runs
# (QF_ENCODER_PRINT_FFMPEG), for 3GP with its output moved from the AVI
# intermediate to 3GP: the same streams with the same encoder options in one
# go, where quillfer-cli also runs the frame-rate probe, two stream
# extractions and the muxer twice.
#
# usage: bench/batch_bench.sh [build-dir] [files] [seconds-per-file]
set -euo pipefail

build=${1:-build}
files=${2:-12}
seconds=${3:-60}
cli=$(realpath "$build/bin/quillfer-cli")
encoder=$(realpath "$build/bin/ALDER.DAT")
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
command -v parallel >/dev/null || { echo "GNU parallel is not installed (sudo apt install parallel)" >&2; exit 1; }
cores=$(nproc)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[ -n "${QF_BENCH_KEEP:-}" ] && trap - EXIT
mkdir -p "$work/library"
ffmpeg -v error -y -f lavfi -i "testsrc=size=640x480:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:duration=$seconds:sample_rate=44100" -ac 2 \
  -c:v mpeg4 -vtag XVID -b:v 1000k -c:a libmp3lame -shortest "$work/clip.avi"
for ((i = 1; i <= files; i++)); do cp "$work/clip.avi" "$work/library/clip$i.avi"; done

now() { date +%s.%N; }

# The encoder's own ffmpeg arguments for the MP3 conversion of one file, as
# a script that parallel runs per file: one-mp3.sh SOURCE OUTPUT.
mapfile -t mp3_args < <(QF_ENCODER_PRINT_FFMPEG=1 "$encoder" "$work/clip.avi" -srate 48000 -oac mp3lame \
  -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o "$work/OUT.mp3")
{
  printf 'exec ffmpeg'
  for a in "${mp3_args[@]}"; do
    case $a in
      "file:$work/clip.avi") printf ' "file:$1"' ;;
      file:"$work"/OUT.mp3*) printf ' "file:$2"' ;;
      *) printf ' %q' "$a" ;;
    esac
  done
  printf ' >/dev/null 2>&1\n'
} >"$work/one-mp3.sh"
# The same for 3GP: the encoder's own command of the conversion's first
# step (as `quillfer-cli commands` gives it), its output moved to 3GP
# straight away (the AVI codec tag dropped): the same streams in one go.
mapfile -t threegp_line < <("$cli" commands -c 0 -m 0 -f 0 --output-folder "$work" "$work/clip.avi")
mapfile -d '' -t threegp_words < <(python3 -c 'import shlex, sys; sys.stdout.write("\0".join(shlex.split(sys.argv[1])))' \
  "${threegp_line[0]}")
mapfile -t threegp_args < <(QF_ENCODER_PRINT_FFMPEG=1 "${threegp_words[@]}")
{
  printf 'exec ffmpeg'
  for ((i = 0; i < ${#threegp_args[@]}; i++)); do
    a=${threegp_args[i]}
    if [ "$a" = -vtag ]; then i=$((i + 1)); continue; fi
    case $a in
      "file:$work/clip.avi") printf ' "file:$1"' ;;
      file:*.part) printf ' "file:$2"' ;;
      avi) printf ' 3gp' ;;
      *) printf ' %q' "$a" ;;
    esac
  done
  printf ' >/dev/null 2>&1\n'
} >"$work/one-3gp.sh"
mp3_line="bash $work/one-mp3.sh {} $work/out/{/.}.mp3"
threegp_line="bash $work/one-3gp.sh {} $work/out/{/.}.3gp"

run_cli() {  # category model format jobs
  rm -rf "$work/out"
  local start end
  start=$(now)
  "$cli" convert -c "$1" -m "$2" -f "$3" --jobs "$4" --output-folder "$work/out" "$work/library" >/dev/null
  end=$(now)
  echo "$end - $start" | bc
}
run_parallel() {  # line jobs
  rm -rf "$work/out"
  mkdir -p "$work/out"
  local start end
  start=$(now)
  find "$work/library" -name '*.avi' | parallel --jobs "$2" "$1" >/dev/null
  end=$(now)
  echo "$end - $start" | bc
}

printf '%d files of %d s, %d cores\n' "$files" "$seconds" "$cores"
printf '%-6s %5s %12s %12s %7s\n' format jobs quillfer-cli parallel ratio
for format in mp3 3gp; do
  for jobs in 1 "$cores"; do
    if [ "$format" = mp3 ]; then
      ours=$(run_cli 7 0 8 "$jobs")
      theirs=$(run_parallel "$mp3_line" "$jobs")
    else
      ours=$(run_cli 0 0 0 "$jobs")
      theirs=$(run_parallel "$threegp_line" "$jobs")
    fi
    printf '%-6s %5s %11.2fs %11.2fs %7.3f\n' "$format" "$jobs" "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
  done
done

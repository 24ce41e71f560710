#!/usr/bin/env bash
# A whole conversion through `quillfer-cli convert` (encode, stream extraction,
# muxing, atom editing) against the single ffmpeg command that makes the same
# streams with the same encoder options straight into the final container.
# Prints, per output format, the median wall and CPU time (user + system of
# every process started) of N runs of each, their ratios (target <= 1.10),
# and the number of programs one conversion starts (counted once with strace;
# ffmpeg alone starts none).
#
# The direct command is the encoder's own ffmpeg command
# (QF_ENCODER_PRINT_FFMPEG) with its output moved to the final container:
# 3GP for 3gp, MP4 for the mp4 and pmp formats (PMP has no ffmpeg muxer, so
# its streams go to MP4), the same muxer for the others. Two-pass formats run
# both passes.
#
# usage: bench/pipeline_vs_ffmpeg.sh [build-dir] [clip-seconds] [runs] [format...]
#   format: CATEGORY/MODEL/FORMAT as in `quillfer-cli formats`, e.g. 0/0/0
set -euo pipefail

build=$(realpath "${1:-build}")
seconds=${2:-30}
runs=${3:-3}
shift $(($# < 3 ? $# : 3))
cli="$build/bin/quillfer-cli"
encoder="$build/bin/ALDER.DAT"
[ -x "$cli" ] && [ -x "$encoder" ] || { echo "no $cli or $encoder: build first" >&2; exit 1; }
command -v strace >/dev/null || { echo "strace is needed to count programs (apt-get install strace)" >&2; exit 1; }

# name|category/model/format|final ffmpeg muxer (empty: the encoder's own)|extension
all=(
  "3gp|0/0/0|3gp|3gp"
  "pmp-x264|2/0/1|mp4|mp4"
  "mp4-x264|2/0/2|mp4|mp4"
  "mp4-xvid|2/0/3|mp4|mp4"
  "mp4-divx|2/0/4|mp4|mp4"
  "phone-x264|0/0/5|mp4|mp4"
  "phone-xvid|0/0/6|mp4|mp4"
  "mp3|7/0/8||mp3"
  "flv|3/0/9||flv"
  "dvd-ntsc|4/0/10||mpg"
  "dvd-pal|4/0/11||mpg"
  "wmv|6/0/12||wmv"
  "wma|6/0/13||wma"
)
formats=()
if [ $# -gt 0 ]; then
  for want in "$@"; do
    for entry in "${all[@]}"; do
      IFS='|' read -r _ cmf _ _ <<<"$entry"
      [ "$cmf" = "$want" ] && formats+=("$entry")
    done
  done
else
  formats=("${all[@]}")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export HOME="$work/home"
mkdir -p "$HOME"

ffmpeg -v error -y -f lavfi -i "testsrc=size=640x480:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:duration=$seconds:sample_rate=44100" -ac 2 \
  -c:v mpeg4 -vtag XVID -b:v 1000k -c:a libmp3lame -shortest "$work/clip.avi"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Splits a command line the system printed (double-quoted parts) into NUL-separated words.
split_words() { python3 -c 'import shlex, sys; sys.stdout.write("\0".join(shlex.split(sys.argv[1])))' "$1"; }
# Runs "$@" and appends "wall cpu" to the file named by $timing.
timed() {
  /usr/bin/time -f '%e %U %S' -o "$work/t" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
  awk '{ printf "%s %.3f\n", $1, $2 + $3 }' "$work/t" >>"$timing"
}

# The direct ffmpeg arguments of one encoder command line, output moved to $3.
direct_arguments() {
  local line=$1 muxer=$2 out=$3
  mapfile -d '' -t words < <(split_words "$line")
  mapfile -t ff < <(QF_ENCODER_PRINT_FFMPEG=1 "${words[@]}")
  local n=${#ff[@]} i last_f=0 kept=()
  for ((i = 0; i < n - 1; i++)); do [ "${ff[i]}" = "-f" ] && last_f=$i; done
  # The encoder ends with "-f MUXER [muxer options] file:OUTPUT.part"; the
  # intermediate's codec tag (-vtag XVID, H264) belongs to AVI, not to the
  # final container.
  for ((i = 0; i < n - 1; i++)); do
    if [ -n "$muxer" ] && [ "${ff[i]}" = "-vtag" ]; then i=$((i + 1)); continue; fi
    if [ -n "$muxer" ] && [ "$i" -eq $((last_f + 1)) ]; then kept+=("$muxer"); continue; fi
    kept+=("${ff[i]}")
  done
  kept+=("file:$out")
  printf '%s\n' "${kept[@]}"
}

printf '%-11s %9s %9s %6s %9s %9s %6s %9s\n' format wall-ours wall-ff ratio cpu-ours cpu-ff ratio programs
for entry in "${formats[@]}"; do
  IFS='|' read -r name cmf muxer ext <<<"$entry"
  IFS=/ read -r c m f <<<"$cmf"
  select=(-c "$c" -m "$m" -f "$f")

  # Programs one conversion starts: every successful execve but the CLI's own.
  rm -rf out && mkdir out
  strace -f -qq -e trace=execve -o "$work/trace" "$cli" convert "${select[@]}" --output-folder "$work/out" \
    "$work/clip.avi" >/dev/null 2>&1 || { echo "$name: the conversion failed" >&2; continue; }
  programs=$(($(grep -c 'execve(.*= 0$' "$work/trace") - 1))

  mapfile -t lines < <("$cli" commands "${select[@]}" --output-folder "$work/out" "$work/clip.avi")
  : >"$work/ours"; : >"$work/theirs"
  # Ours and the direct command take turns, so that a drift of the machine
  # (other programs, caches, clock) falls on both alike.
  for ((r = 0; r < runs; r++)); do
    rm -rf out && mkdir out
    timing="$work/ours" timed "$cli" convert "${select[@]}" --output-folder "$work/out" "$work/clip.avi"
    timing="$work/theirs"
    rm -rf direct && mkdir direct
    (
      cd direct
      for line in "${lines[@]}"; do
        [ -n "$line" ] || continue
        # A second pass reads the first pass's log under the encoder's name.
        [ -f divx2pass-0.log ] && cp divx2pass-0.log divx2pass.log
        mapfile -t args < <(direct_arguments "$line" "$muxer" "$work/direct/out.$ext")
        timing="$work/pass" timed ffmpeg "${args[@]}"
      done
    )
    awk '{ w += $1; c += $2 } END { printf "%.3f %.3f\n", w, c }' "$work/pass" >>"$timing"
    rm -f "$work/pass"
  done
  ow=$(cut -d' ' -f1 "$work/ours" | median); oc=$(cut -d' ' -f2 "$work/ours" | median)
  tw=$(cut -d' ' -f1 "$work/theirs" | median); tc=$(cut -d' ' -f2 "$work/theirs" | median)
  printf '%-11s %8.2fs %8.2fs %6.3f %8.2fs %8.2fs %6.3f %9d\n' "$name" "$ow" "$tw" "$(echo "$ow / $tw" | bc -l)" \
    "$oc" "$tc" "$(echo "$oc / $tc" | bc -l)" "$programs"
done

#!/usr/bin/env bash
# A whole conversion through `quillfer-cli convert` (encode, stream extraction,
# muxing, atom editing) against the single ffmpeg command that makes the same
# streams with the same encoder options straight into the final container.
# Prints, per output format, the median wall and CPU time (user + system of
# every process started) of N runs of each, their ratios (target <= 1.10),
# and the number of programs one conversion starts (counted once with strace;
# ffmpeg alone starts none).
#
# The whole run includes adding the file: loading the MediaInfo library and
# probing the clip, about 18 ms of CPU that the window spends when files are
# added. The conv- columns are the conversion alone, as `quillfer-cli` itself
# measures it from the start of the tasks to their end (QF_CLI_TIMES): what
# pressing Convert costs once the files are in the list.
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
# Runs "$@" and appends "wall cpu" to the file named by $timing, in seconds to
# the microsecond: /usr/bin/time rounds to 10 ms, a tenth of a short job.
# With $conversion set, the command is ours: it runs with QF_CLI_TIMES, and
# the conversion's own "wall cpu" (without adding the files) goes there.
cat >"$work/timed.py" <<'PY'
import os, re, resource, subprocess, sys, time
timing, conversion, command = sys.argv[1], sys.argv[2], sys.argv[3:]
env = dict(os.environ, QF_CLI_TIMES="1") if conversion else None
def cpu():
    # Python may have run programs of its own before this one.
    used = resource.getrusage(resource.RUSAGE_CHILDREN)
    return used.ru_utime + used.ru_stime
before, start = cpu(), time.perf_counter()
done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
wall = time.perf_counter() - start
with open(timing, "a") as out:
    out.write("%.6f %.6f\n" % (wall, cpu() - before))
if conversion:
    found = re.search(rb"conversion ([0-9.]+) s wall, ([0-9.]+) s CPU", done.stderr)
    if not found:
        sys.exit("no conversion time printed")
    with open(conversion, "a") as out:
        out.write("%s %s\n" % (found[1].decode(), found[2].decode()))
sys.exit(done.returncode)
PY
timed() {
  python3 "$work/timed.py" "$timing" "${conversion:-}" "$@" || { echo "failed: $*" >&2; return 1; }
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

printf '%-11s %9s %9s %6s %9s %9s %6s | %9s %6s %9s %6s | %8s\n' format wall-ours wall-ff ratio cpu-ours cpu-ff ratio \
  conv-wall ratio conv-cpu ratio programs
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
  : >"$work/ours"; : >"$work/theirs"; : >"$work/conversion"
  # Ours and the direct command take turns, so that a drift of the machine
  # (other programs, caches, clock) falls on both alike.
  for ((r = 0; r < runs; r++)); do
    rm -rf out && mkdir out
    timing="$work/ours" conversion="$work/conversion" timed "$cli" convert "${select[@]}" --output-folder "$work/out" "$work/clip.avi"
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
    awk '{ w += $1; c += $2 } END { printf "%.6f %.6f\n", w, c }' "$work/pass" >>"$timing"
    rm -f "$work/pass"
  done
  ow=$(cut -d' ' -f1 "$work/ours" | median); oc=$(cut -d' ' -f2 "$work/ours" | median)
  tw=$(cut -d' ' -f1 "$work/theirs" | median); tc=$(cut -d' ' -f2 "$work/theirs" | median)
  cw=$(cut -d' ' -f1 "$work/conversion" | median); cc=$(cut -d' ' -f2 "$work/conversion" | median)
  ratio() { echo "$1 / $2" | bc -l; }
  printf '%-11s %8.3fs %8.3fs %6.3f %8.3fs %8.3fs %6.3f | %8.3fs %6.3f %8.3fs %6.3f | %8d\n' "$name" \
    "$ow" "$tw" "$(ratio "$ow" "$tw")" "$oc" "$tc" "$(ratio "$oc" "$tc")" \
    "$cw" "$(ratio "$cw" "$tw")" "$cc" "$(ratio "$cc" "$tc")" "$programs"
done

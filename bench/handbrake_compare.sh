#!/usr/bin/env bash
# A whole conversion through `quillfer-cli convert` against HandBrakeCLI on the
# same job at the same settings, median wall time of N runs each, printed as
# ours / HandBrakeCLI (target <= 0.95). Installs Debian's handbrake-cli when
# HandBrakeCLI is missing (needs root).
#
# Jobs (source: a 640x480 25-fps MPEG-4/MP3 clip made by ffmpeg):
#  psp-x264  PSP, mp4-X264,AAC: H.264 368x208 (the 4:3 picture 276x208 in black
#            side bars), 29.97 fps constant, 500 kbit/s one pass, x264 preset
#            medium, profile main, level 3.0, bframes=3, ref=2, 8x8dct=0,
#            partitions=all; AAC-LC 96 kbit/s 48 kHz stereo; MP4.
#  dvd       DVD NTSC mpg: MPEG-2 720x480 29.97 fps, 2000 kbit/s two passes
#            (turbo first pass), GOP 18, VBV 1835 kbit / 9600 kbit/s, mbd=rd,
#            trellis (the second pass's options; HandBrake's encoder options
#            are the codec's own, given with -x); the picture stretched to
#            720x480 as ours is; AC-3 128 kbit/s 48 kHz. HandBrake
#            has no MPEG-PS muxer, so its streams go to Matroska.
# Not matched: our audio runs the volume normaliser the model asks for
# (HandBrake has none), and HandBrake's x264 level 3.0 adds the level's VBV
# limits, which ours does not ask for.
#
# usage: bench/handbrake_compare.sh [build-dir] [clip-seconds] [runs]
set -euo pipefail

build=$(realpath "${1:-build}")
seconds=${2:-30}
runs=${3:-3}
cli="$build/bin/quillfer-cli"
[ -x "$cli" ] || { echo "no $cli: build first" >&2; exit 1; }
if ! command -v HandBrakeCLI >/dev/null; then
  echo "installing handbrake-cli from Debian" >&2
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q handbrake-cli >/dev/null ||
    { echo "could not install handbrake-cli (run as root)" >&2; exit 1; }
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
wall() {
  /usr/bin/time -f '%e' -o "$work/t" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
  cat "$work/t"
}

hb_common=(-i "$work/clip.avi" --crop 0:0:0:0 --no-comb-detect --no-deinterlace
  --no-decomb --no-detelecine --no-hqdn3d --no-nlmeans --no-deblock --no-chroma-smooth --no-unsharp
  --no-lapsharp --no-markers --no-optimize --no-ipod-atom)
hb_psp=("${hb_common[@]}" -f av_mp4 -e x264 --encoder-preset medium --encoder-profile main --encoder-level 3.0
  -x bframes=3:ref=2:8x8dct=0:partitions=all -b 500 --non-anamorphic -w 276 -l 208 --pad width=368:height=208:color=black
  -r 29.97 --cfr -E av_aac -B 96 -R 48 -6 stereo -o "$work/hb.mp4")
hb_dvd=("${hb_common[@]}" -f av_mkv -e mpeg2 -b 2000 -2 -T -x g=18:bufsize=1835000:maxrate=9600000:mbd=rd:trellis=1
  -w 720 -l 480 --custom-anamorphic --pixel-aspect 1:1 --no-keep-display-aspect -r 29.97 --cfr -E ac3 -B 128 -R 48 -6 stereo -o "$work/hb.mkv")

jobs=("psp-x264|2/0/2|hb_psp" "dvd|4/0/10|hb_dvd")
printf '%-9s %9s %12s %7s\n' job ours HandBrakeCLI ratio
for entry in "${jobs[@]}"; do
  IFS='|' read -r name cmf hb <<<"$entry"
  IFS=/ read -r c m f <<<"$cmf"
  declare -n hb_args=$hb
  ours=()
  theirs=()
  for ((r = 0; r < runs; r++)); do
    rm -rf out && mkdir out
    ours+=("$(wall "$cli" convert -c "$c" -m "$m" -f "$f" --output-folder "$work/out" "$work/clip.avi")")
    theirs+=("$(wall HandBrakeCLI "${hb_args[@]}")")
  done
  unset -n hb_args
  o=$(printf '%s\n' "${ours[@]}" | median)
  t=$(printf '%s\n' "${theirs[@]}" | median)
  printf '%-9s %8.2fs %11.2fs %7.3f\n' "$name" "$o" "$t" "$(echo "$o / $t" | bc -l)"
done

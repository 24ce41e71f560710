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
# Today's jobs (source: a 1920x1080 30-fps clip in which every pixel moves:
# drifting colour gradients under a turning, travelling
# picture, made by ffmpeg; AAC stereo).
# Each also prints the sizes and the SSIM and PSNR of both outputs against the
# source (scaled to the output's size where the job scales), targets: time
# <= 0.90, SSIM no more than 0.002 below HandBrake's, size within +-10 %.
#  h264      通用高清 1080p against HandBrake's "Fast 1080p30": x264 CRF (RF) 22,
#            preset fast, profile High and level 4.1 (ours; HandBrake's preset
#            says Main 4.0 and is given ours), VBV 20000/25000 kbit (ours; given
#            to HandBrake with -x), 30 fps peak, AAC 160 kbit/s stereo, MP4.
#  h265      HEVC 1080p against "H.265 MKV 1080p30": x265 8-bit CRF 28, preset
#            fast with x265's own defaults for it (HandBrake's preset asks for
#            10 bits, RF 22, preset slow and its own psy/rd options: all given
#            ours instead), VBV 12000/15000 kbit, AAC 160 kbit/s; our MP4 with
#            the hvc1 tag, HandBrake's Matroska.
#  av1-720p  AV1 720p against "AV1 MKV 2160p60 4K" limited to 1280x720 and a
#            30 fps peak: SVT-AV1 CRF 35 preset 8, Opus 128 kbit/s, Matroska.
# HandBrake's automatic crop is off (--crop 0:0:0:0); its preset's comb
# detection and decomb stay as the preset has them (ours deinterlaces only
# frames marked interlaced; the source has none). Our MP4s are written with
# their index first (HandBrake's "web optimized" is off in these presets).
#
# usage: bench/handbrake_compare.sh [build-dir] [clip-seconds] [runs] [old|today|all]
set -euo pipefail

build=$(realpath "${1:-build}")
seconds=${2:-30}
runs=${3:-3}
which=${4:-all}
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
[ "$which" = today ] && jobs=()
[ ${#jobs[@]} -gt 0 ] && printf '%-9s %9s %12s %7s\n' job ours HandBrakeCLI ratio
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

[ "$which" = old ] && exit 0

# ---- Today's jobs ----
motion="$work/motion.mp4"
ffmpeg -v error -y -f lavfi -i "gradients=s=1920x1080:r=30:speed=0.03:n=5" \
  -f lavfi -i "testsrc2=s=960x540:r=30" -f lavfi -i "sine=frequency=440:duration=$seconds:sample_rate=48000" \
  -filter_complex "[1:v]rotate=a=t*0.6:c=none[o];[0:v][o]overlay=x='480+300*sin(t*2)':y='270+150*cos(t*1.5)',format=yuv420p[v]" \
  -map '[v]' -map 2:a -ac 2 -t "$seconds" -c:v libx264 -preset ultrafast -crf 12 -c:a aac -b:a 256k "$motion"

hb_today=(-i "$motion" --crop 0:0:0:0 --no-markers)
hb_h264=("${hb_today[@]}" -Z "Fast 1080p30" --encoder-profile high --encoder-level 4.1
  -x vbv-maxrate=20000:vbv-bufsize=25000 -o "$work/hb-h264.mp4")
hb_h265=("${hb_today[@]}" -Z "H.265 MKV 1080p30" -e x265 -q 28 --encoder-preset fast --encoder-profile main
  -x strong-intra-smoothing=1:rect=0:aq-mode=2:rd=2:psy-rd=2.0:psy-rdoq=0:rdoq-level=0:rskip=1:vbv-maxrate=12000:vbv-bufsize=15000
  -o "$work/hb-h265.mkv")
hb_av1=("${hb_today[@]}" -Z "AV1 MKV 2160p60 4K" --maxWidth 1280 --maxHeight 720 -r 30 --pfr -e svt_av1
  --encoder-preset 8 -q 35 -E opus -B 128 -o "$work/hb-av1.mkv")

# "ssim psnr" of a file against the source, scaled to the file's size.
quality() {
  local size
  size=$(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=s=x:p=0 "$1")
  local ssim psnr
  ssim=$(ffmpeg -nostdin -i "$1" -i "$motion" -lavfi "[1:v]scale=${size/x/:}:flags=bicubic[ref];[0:v][ref]ssim" \
    -f null - 2>&1 | sed -n 's/.*SSIM.* All:\([0-9.]*\).*/\1/p' | tail -1)
  psnr=$(ffmpeg -nostdin -i "$1" -i "$motion" -lavfi "[1:v]scale=${size/x/:}:flags=bicubic[ref];[0:v][ref]psnr" \
    -f null - 2>&1 | sed -n 's/.*PSNR.* average:\([0-9.inf]*\).*/\1/p' | tail -1)
  echo "$ssim $psnr"
}

today=("h264|8/1/14|hb_h264|hb-h264.mp4" "h265|9/1/15|hb_h265|hb-h265.mkv" "av1-720p|10/1/17|hb_av1|hb-av1.mkv")
printf '\n%-9s %9s %12s %7s %10s %10s %6s %8s %8s %7s %7s\n' job ours HandBrakeCLI ratio "ours KiB" "HB KiB" size \
  "SSIM" "HB SSIM" "PSNR" "HB PSNR"
for entry in "${today[@]}"; do
  IFS='|' read -r name cmf hb hbfile <<<"$entry"
  IFS=/ read -r c m f <<<"$cmf"
  declare -n hb_args=$hb
  ours=()
  theirs=()
  for ((r = 0; r < runs; r++)); do
    rm -rf out && mkdir out
    ours+=("$(wall "$cli" convert -c "$c" -m "$m" -f "$f" --output-folder "$work/out" "$motion")")
    theirs+=("$(wall HandBrakeCLI "${hb_args[@]}")")
  done
  unset -n hb_args
  o=$(printf '%s\n' "${ours[@]}" | median)
  t=$(printf '%s\n' "${theirs[@]}" | median)
  mine=$(ls "$work"/out/*)
  read -r qs qp <<<"$(quality "$mine")"
  read -r hs hp <<<"$(quality "$work/$hbfile")"
  ms=$(stat -c %s "$mine")
  hs_bytes=$(stat -c %s "$work/$hbfile")
  printf '%-9s %8.2fs %11.2fs %7.3f %10d %10d %6.3f %8s %8s %7s %7s\n' "$name" "$o" "$t" "$(echo "$o / $t" | bc -l)" \
    $((ms / 1024)) $((hs_bytes / 1024)) "$(echo "$ms / $hs_bytes" | bc -l)" "$qs" "$hs" "$qp" "$hp"
done

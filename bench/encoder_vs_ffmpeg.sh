#!/usr/bin/env bash
# ALDER.DAT against the single ffmpeg command it stands for, per output format.
# Prints, per format, the median wall time of 5 runs of each and their ratio
# (target: ALDER.DAT / ffmpeg <= 1.10). The ffmpeg command is the one the
# encoder itself would run (QF_ENCODER_PRINT_FFMPEG), writing the same output.
#
# usage: bench/encoder_vs_ffmpeg.sh [build-dir] [clip-seconds]
set -euo pipefail

build=${1:-build}
seconds=${2:-10}
encoder=$(realpath "$build/bin/ALDER.DAT")
[ -x "$encoder" ] || { echo "no $encoder: build qf-encoder first" >&2; exit 1; }
runs=5

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

ffmpeg -v error -y -f lavfi -i "testsrc=size=640x480:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:duration=$seconds:sample_rate=44100" -ac 2 \
  -c:v mpeg4 -vtag XVID -b:v 1000k -c:a libmp3lame -shortest clip.avi
# Stream-extraction sources, made once by the encoder itself.
"$encoder" clip.avi -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac \
  -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o B.avi >/dev/null

formats=(
  "3gp|clip.avi -srate 22050 -vf-add scale=176:114,harddup -ofps 10 -oac faac -faacopts br=32:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=100:max_bframes=0 -o out.avi"
  "pmp|clip.avi -sws 9 -af volnorm -srate 44100 -channels 2 -vf-add scale=480:272,harddup -oac faac -faacopts br=96:mpeg=4:object=2 -ovc x264 -ffourcc H264 -x264encopts crf=22:level_idc=13:pictiming:nopsnr:nossim -o out.avi"
  "mp4-x264|clip.avi -of lavf -lavfopts format=mp4 -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=96:mpeg=4:object=2:raw -ovc x264 -ffourcc H264 -x264encopts bitrate=500:level_idc=30:bframes=3:frameref=2:global_header:partitions=all -o out.mp4"
  "mp4-xvid|clip.avi -sws 9 -af volnorm -srate 48000 -vf-add scale=368:208,harddup -ofps 30000/1001 -oac faac -faacopts br=64:mpeg=4:object=2 -ovc xvid -xvidencopts bitrate=500:max_bframes=0 -o out.avi"
  "mp3|clip.avi -srate 48000 -oac mp3lame -lameopts abr:br=128:mode=1 -ovc frameno -of rawaudio -o out.mp3"
  "flv|clip.avi -of lavf -lavfopts format=flv -af volnorm -srate 44100 -vf-add scale=320:240 -oac mp3lame -lameopts cbr:br=96:mode=1 -ovc lavc -lavcopts vcodec=flv:vbitrate=500 -o out.flv"
  "mpg-pass1|clip.avi -of mpeg -mpegopts format=dvd -vf-add scale=720:480,harddup -ofps 30000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o out.mpg"
  "mpg-pass2|clip.avi -of mpeg -mpegopts format=dvd -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 30000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=18:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o out.mpg"
  "svcd-pass1|clip.avi -of mpeg -mpegopts format=xsvcd -vf-add scale=480:576,harddup -ofps 25 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:turbo:trell:mbd=2:keyint=15:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=1 -nosound -o out.mpg"
  "svcd-pass2|clip.avi -of mpeg -mpegopts format=xsvcd -af volnorm,lavcresample=44100 -srate 44100 -vf-add scale=480:576,harddup -ofps 25 -oac lavc -lavcopts acodec=mp2:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:trell:mbd=2:keyint=15:vrc_buf_size=917:vrc_minrate=600:vrc_maxrate=2500:vpass=2 -o out.mpg"
  "dvdfilm-pass1|clip.avi -of mpeg -mpegopts format=dvd:tsaf:telecine -vf-add scale=720:480,harddup -ofps 24000/1001 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:turbo:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600:vpass=1 -nosound -o out.mpg"
  "dvdfilm-pass2|clip.avi -of mpeg -mpegopts format=dvd:tsaf:telecine -af volnorm,lavcresample=48000 -srate 48000 -vf-add scale=720:480,harddup -ofps 24000/1001 -oac lavc -lavcopts acodec=ac3:abitrate=128 -ovc lavc -lavcopts vcodec=mpeg2video:vbitrate=2000:aspect=16/9:trell:mbd=2:keyint=12:vrc_buf_size=1835:vrc_maxrate=9600:vpass=2 -o out.mpg"
  "wmv|clip.avi -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -vf-add scale=320:240 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc lavc -lavcopts vcodec=wmv2:vbitrate=500 -o out.wmv"
  "wma|clip.avi -of lavf -lavfopts format=wmv -af volnorm -srate 44100 -oac lavc -lavcopts acodec=wmav2:abitrate=96 -ovc frameno -of rawaudio -o out.wma"
  "extract-video|-ovc copy -nosound -of rawvideo -o out.m4v B.avi"
  "extract-audio|-ovc frameno -oac copy -of rawaudio -o out.aac B.avi"
)

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

printf '%-14s %10s %10s %7s\n' format ALDER.DAT ffmpeg ratio
for entry in "${formats[@]}"; do
  name=${entry%%|*}
  read -r -a args <<<"${entry#*|}"
  # A second pass needs the log of the first pass listed before it.
  [[ $name == *-pass2 ]] && [ ! -f divx2pass.log ] && { echo "$name needs its first pass first" >&2; exit 1; }
  mapfile -t direct < <(QF_ENCODER_PRINT_FFMPEG=1 "$encoder" "${args[@]}")
  last=$((${#direct[@]} - 1))
  [[ ${direct[$last]} == file:* ]] && direct[last]="file:direct.out"
  encoder_times=()
  ffmpeg_times=()
  for ((i = 0; i < runs; i++)); do
    t0=$(now)
    "$encoder" "${args[@]}" >/dev/null
    t1=$(now)
    [[ $name == *-pass2 ]] && cp divx2pass.log divx2pass-0.log
    t2=$(now)
    ffmpeg "${direct[@]}" >/dev/null 2>&1
    t3=$(now)
    rm -f divx2pass-0.log
    encoder_times+=("$(echo "$t1 - $t0" | bc -l)")
    ffmpeg_times+=("$(echo "$t3 - $t2" | bc -l)")
  done
  e=$(printf '%s\n' "${encoder_times[@]}" | median)
  f=$(printf '%s\n' "${ffmpeg_times[@]}" | median)
  printf '%-14s %9.3fs %9.3fs %7.3f\n' "$name" "$e" "$f" "$(echo "$e / $f" | bc -l)"
done

#!/bin/sh
# make_seeds.sh OUT_DIR: writes the media seeds of the fuzz targets into
# OUT_DIR/<target>/, each a few KB, made at run time by ffmpeg from lavfi
# sources and by our own muxer and atom editor (no media is kept in git).
# Text seeds are kept under fuzz/corpus/<target>/ and are copied too.
# Needs ffmpeg and a built tree (QF_BIN, default build-fuzz/bin).
set -eu

out=${1:?usage: make_seeds.sh OUT_DIR}
here=$(cd "$(dirname "$0")" && pwd)
bin=${QF_BIN:-$here/../build-fuzz/bin}
command -v ffmpeg >/dev/null || { echo "make_seeds.sh: ffmpeg is not installed" >&2; exit 1; }
for tool in qf-mp4-muxer qf-atom-editor; do
    [ -x "$bin/$tool" ] || { echo "make_seeds.sh: $bin/$tool is missing (build the fuzz preset)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -nostdin -hide_banner -loglevel error -y "$@"; }

picture="testsrc=size=32x32:rate=5:duration=0.6"
sound="sine=frequency=440:sample_rate=8000:duration=0.6"
ff -f lavfi -i "$picture" -f lavfi -i "$sound" -c:v mpeg4 -vtag XVID -q:v 31 \
   -c:a aac -b:a 12k -ac 1 -reserve_index_space 64 -f avi "$work/xvid_aac.avi"
ff -f lavfi -i "$picture" -f lavfi -i "$sound" -c:v mpeg4 -vtag DX50 -bf 1 -q:v 31 \
   -c:a pcm_u8 -reserve_index_space 64 -f avi "$work/divx_bframes_pcm.avi"
ff -f lavfi -i "$sound" -f lavfi -i "$picture" -map 0 -map 1 -c:a aac -b:a 12k -ac 1 \
   -c:v mpeg4 -q:v 31 -reserve_index_space 64 -f avi "$work/sound_first.avi"
ff -f lavfi -i "$sound" -c:a aac -b:a 12k -ac 1 -f adts "$work/sine.aac"
ff -f lavfi -i "$picture" -c:v mpeg4 -q:v 31 -f m4v "$work/testsrc.m4v"
ff -f lavfi -i "$picture" -c:v libxvid -bf 0 -g 2 -q:v 31 -f m4v "$work/xvid.m4v"

# An MP4 as the system makes it: the muxer creates it from the raw video,
# adds the sound, and the atom editor rewrites it with edit lists.
"$bin/qf-mp4-muxer" -c "$work/testsrc.m4v" -rate=5 "$work/muxed.mp4" >/dev/null
"$bin/qf-mp4-muxer" -c "$work/sine.aac" "$work/muxed.mp4" >/dev/null
printf '[Config]\r\nBuild_edts=1\r\n[DeleteAtom]\r\nItem0=free\r\nItem1=iods\r\n[InsertAtom]\r\nItem0=uuid%%01%%02\r\n' \
    >"$work/edit.ini"
"$bin/qf-atom-editor" "$work/muxed.mp4" "$work/edited.mp4" "$work/edit.ini" >/dev/null
# The muxer's own writing: a raw Xvid stream with a fixed rate, in 3GP.
"$bin/qf-mp4-muxer" -force3GPCompliance -c "$work/xvid.m4v" -rate=5 "$work/xvid.3gp" >/dev/null
"$bin/qf-mp4-muxer" -force3GPCompliance -c "$work/sine.aac" "$work/sound.3gp" >/dev/null
ff -f lavfi -i "$picture" -c:v mpeg4 -q:v 31 -f 3gp "$work/ffmpeg.3gp"
# Program streams for the soft-pulldown edit: film-rate MPEG-2 with sound as
# the encoder writes it, film-rate MPEG-1 (the older packet headers), and
# interlaced pictures that it must refuse.
film="testsrc=size=32x32:rate=24000/1001:duration=0.4"
ff -f lavfi -i "$film" -f lavfi -i "$sound" -c:v mpeg2video -q:v 31 -bf 2 -g 6 \
   -c:a mp2 -ar 32000 -b:a 32k -f vob "$work/film.vob"
ff -f lavfi -i "$film" -c:v mpeg1video -q:v 31 -f mpeg "$work/film.mpg"
ff -f lavfi -i "$film" -c:v mpeg2video -q:v 31 -flags +ilme+ildct -f vob "$work/interlaced.vob"

seed() {  # seed TARGET FILE...
    target=$1
    shift
    mkdir -p "$out/$target"
    cp "$@" "$out/$target/"
}
seed avi_reader_fuzz "$work"/*.avi
seed bare_copy_fuzz "$work"/*.avi
seed adts_reader_fuzz "$work/sine.aac"
seed vol_header_fuzz "$work/testsrc.m4v" "$work/sine.aac"
seed atom_box_fuzz "$work/muxed.mp4" "$work/edited.mp4" "$work/ffmpeg.3gp"
seed mp4_tracks_fuzz "$work/muxed.mp4" "$work/edited.mp4" "$work/ffmpeg.3gp"
seed mp4_movie_fuzz "$work/xvid.3gp" "$work/sound.3gp" "$work/muxed.mp4" "$work/edited.mp4" "$work/ffmpeg.3gp"
seed raw_streams_fuzz "$work/xvid.m4v" "$work/testsrc.m4v" "$work/sine.aac"
seed atom_script_fuzz "$work/edit.ini"
seed soft_pulldown_fuzz "$work/film.vob" "$work/film.mpg" "$work/interlaced.vob"
for dir in "$here"/corpus/*/; do
    target=$(basename "$dir")
    mkdir -p "$out/$target"
    cp "$dir"* "$out/$target/"
done

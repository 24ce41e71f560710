#!/usr/bin/env bash
# package_test.sh DEB WORK_DIR   (as root)
# lintian finds no error; apt-get installs the package with its dependencies;
# an unprivileged user converts a generated clip through all 14 formats with
# /usr/bin/quillfer-cli (ffprobe checks each result) and runs the desktop
# program under Xvfb (gui_instances.sh); nothing is written into the program
# directory; the package is purged and nothing of it is left outside the
# user's own folders.
set -euo pipefail
deb=$(readlink -f "$1")
work=$2
here=$(cd "$(dirname "$0")" && pwd)
user=nobody
fail() { echo "FAIL: $*"; exit 1; }

[ "$(id -u)" -eq 0 ] || fail "run as root"
if dpkg-query -W -f='${Status}' quillfer 2>/dev/null | grep -q 'install ok installed'; then
  fail "quillfer is installed already; this test would remove it (apt-get remove quillfer first)"
fi

echo "== lintian"
lintian --fail-on error --tag-display-limit 0 "$deb" | tee "$work.lintian.log" || fail "lintian reports errors"

rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"
stamp=$work/stamp
touch "$stamp"
sleep 1

echo "== apt-get install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq -o DPkg::Lock::Timeout=600 --no-install-recommends "$deb" >"$work/install.log" 2>&1 \
  || { cat "$work/install.log"; fail "apt-get install failed"; }
installed_files=$(dpkg -L quillfer)
trap 'apt-get purge -y -qq -o DPkg::Lock::Timeout=600 quillfer >/dev/null 2>&1 || true' EXIT
[ "$(readlink -f /usr/bin/quillfer)" = /usr/lib/quillfer/quillfer ] || fail "/usr/bin/quillfer is no link into the program directory"

# The user's own folders, and the scripts it runs (the source tree may be closed to it).
home=$work/home
mkdir -p "$home"
cp "$here/gui_instances.sh" "$work/"
chown -R "$user" "$home"
as_user() { runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 "$@"; }
as_user test ! -w /usr/lib/quillfer || fail "the program directory is writable by $user"

echo "== 14 formats through /usr/bin/quillfer-cli"
as_user ffmpeg -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=2" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=2" -ac 2 -shortest "$home/clip.avi"
# format  category  output suffix  ffprobe format  first codec
formats="0 0 -3gp.3gp mov mpeg4
1 2 -pmp.pmp pmp h264
2 2 -mp4.mp4 mov h264
3 2 -mp4.mp4 mov mpeg4
4 2 -mp4.mp4 mov mpeg4
5 0 -mp4.mp4 mov h264
6 0 -mp4.mp4 mov mpeg4
7 1 -mp4.mp4 mov mpeg4
8 7 -mp3.mp3 mp3 mp3
9 3 -flv.flv flv flv1
10 4 -mpg.mpg mpeg mpeg2video
11 4 -mpg.mpg mpeg mpeg2video
12 6 -wmv.wmv asf wmv2
13 6 -wma.wma asf wmav2"
while read -r format category suffix container codec; do
  out=$home/out-$format
  as_user /usr/bin/quillfer-cli convert -c "$category" -m 0 -f "$format" --output-folder "$out" "$home/clip.avi" \
    >"$work/convert-$format.log" 2>&1 || { cat "$work/convert-$format.log"; fail "format $format did not convert"; }
  file=$out/clip.avi$suffix
  [ -s "$file" ] || fail "format $format left no $file"
  facts=$(ffprobe -v error -show_entries format=format_name,duration:stream=codec_name -of default=nw=1 "$file")
  grep -q "^format_name=$container" <<<"$facts" || fail "format $format: $facts"
  grep -q "^codec_name=$codec\$" <<<"$facts" || fail "format $format has no $codec stream: $facts"
  duration=$(sed -n 's/^duration=//p' <<<"$facts")
  awk -v d="$duration" 'BEGIN { exit !(d > 1.5 && d < 2.6) }' || fail "format $format lasts $duration s"
  echo "format $format: $(basename "$file") ok ($container, $codec, $duration s)"
done <<<"$formats"

echo "== the desktop program under Xvfb"
echo "open-file limits $(ulimit -Sn)/$(ulimit -Hn), $(ls /proc/$$/fd | wc -l) descriptors open here"
as_user xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  bash "$work/gui_instances.sh" /usr/bin/quillfer /usr/bin/quillfer "$home/gui" || fail "the desktop program"
[ -f "$home/gui/home/.config/quillfer/cfg" ] || fail "the user's cfg was not written"

# Nothing was written into the program directory, and the package is intact.
[ -z "$(find /usr/lib/quillfer -newer "$stamp" ! -type d -print -quit)" ] || fail "the program directory was written to"
dpkg --verify quillfer || fail "installed files were changed"

echo "== apt-get purge"
trap - EXIT
apt-get purge -y -qq -o DPkg::Lock::Timeout=600 quillfer >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "purge"; }
left=""
while read -r path; do
  [ -n "$path" ] || continue
  [ -d "$path" ] && [ ! -L "$path" ] && continue   # shared folders (/usr/bin, hicolor, ...) stay
  [ -e "$path" ] || [ -L "$path" ] && left="$left $path"
done <<<"$installed_files"
[ -z "$left" ] || fail "left after purge:$left"
[ ! -e /usr/lib/quillfer ] || fail "/usr/lib/quillfer is left"
# Anything else it made: the user's files outside the user's own folder, and
# any new file or folder named after the program.
strays=$(find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path "$work" -o -path /work \) -prune -o \
  -user "$user" -newer "$stamp" -print 2>/dev/null | head -n 20)
[ -z "$strays" ] || fail "files of $user outside its home: $strays"
named=$(find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path "$work" -o -path /work -o -path /tmp \) -prune -o \
  -iname '*quillfer*' -newer "$stamp" -print 2>/dev/null | head -n 20)
[ -z "$named" ] || fail "left after purge: $named"
echo "package test: lintian clean, installed, 14 formats, the desktop program, purged without leftovers"

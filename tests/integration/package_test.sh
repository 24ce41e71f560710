#!/usr/bin/env bash
# package_test.sh DEB WORK_DIR   (as root)
# lintian finds no error or warning (--pedantic); apt-get installs the
# package with its dependencies;
# an unprivileged user converts a generated clip through all 14 formats with
# /usr/bin/quillfer-cli (ffprobe checks each result) and runs the desktop
# program under Xvfb (gui_instances.sh); the man page, the no-display start,
# the metainfo, menu entry, SVG icon, screenshot and bash completion are as
# stated; a preset travels between two users as text; the parallel recipe of
# docs/batch.md runs into a missing $OUT, and a dry run lists what the run
# then does; nothing is written into the program
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
lintian --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" | tee "$work.lintian.log" || fail "lintian reports errors or warnings"

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
cp "$here/gui_instances.sh" "$here/batch_doc.sh" "$here/../../docs/batch.md" "$here/../../scripts/screenshots.sh" "$work/"
chown -R "$user" "$home"
as_user() { runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 "$@"; }
# A second user, for what travels between users.
user2=daemon
home2=$work/home2
mkdir -p "$home2" && chown "$user2" "$home2"
as_user2() { runuser -u "$user2" -- env -i PATH=/usr/bin:/bin HOME="$home2" LANG=C.UTF-8 "$@"; }
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

echo "== the facts the package states"
[ "$(man -w quillfer)" = /usr/share/man/man1/quillfer.1.gz ] || fail "man -w quillfer: $(man -w quillfer)"
LC_ALL=C.UTF-8 MANWIDTH=80 man quillfer 2>/dev/null | grep -q '^ */usr/lib/quillfer$' || fail "man quillfer names no /usr/lib/quillfer"
status=0; as_user /usr/bin/quillfer >"$work/no-display.log" 2>&1 || status=$?
[ $status -eq 1 ] && [ "$(wc -l <"$work/no-display.log")" -eq 1 ] || { cat "$work/no-display.log"; fail "no display: status $status"; }
appstreamcli validate --pedantic --no-net /usr/share/metainfo/org.quillfer.Quillfer.metainfo.xml >"$work/appstream.log" 2>&1 \
  && ! grep -q '^[WE]: ' "$work/appstream.log" || { cat "$work/appstream.log"; fail "appstreamcli"; }
desktop-file-validate /usr/share/applications/org.quillfer.Quillfer.desktop || fail "desktop-file-validate"
xmllint --noout /usr/share/icons/hicolor/scalable/apps/quillfer.svg || fail "the SVG icon"
as_user bash "$work/screenshots.sh" /usr/bin/quillfer "$home/screenshots" >/dev/null || fail "no screenshot"
[ -s "$home/screenshots/convert.png" ] || fail "the screenshot is missing"
completion=$(as_user bash -c '. /usr/share/bash-completion/bash_completion && . /usr/share/bash-completion/completions/quillfer-cli
  COMP_WORDS=(quillfer-cli convert -c MP3 -m 默) COMP_CWORD=5 COMP_LINE="${COMP_WORDS[*]}" COMP_POINT=${#COMP_LINE}
  _quillfer_cli quillfer-cli 默 -m && printf "%s\n" "${COMPREPLY[@]}"')
[ "$completion" = 默认参数 ] || fail "bash completed '-m 默' as '$completion'"

echo "== a preset between two users: text, then the second user's cfg, then text"
as_user /usr/bin/quillfer-cli presets export 旅行 "$home/trip.preset" -c PSP -m 0 -f 2 --set videoBitrateIndex=9 || fail "export"
as_user2 /usr/bin/quillfer-cli presets import "$home/trip.preset" >/dev/null || fail "import by $user2"
as_user2 /usr/bin/quillfer-cli presets export 旅行 "$home2/back.preset" || fail "export by $user2"
cmp "$home/trip.preset" "$home2/back.preset" || fail "the preset changed on its way"

echo "== batches: the parallel recipe into a missing \$OUT, a dry run, the summary"
as_user bash "$work/batch_doc.sh" /usr/bin "$home/batch-doc" "$work/batch.md" || fail "the parallel recipe"
library=$home/batch-doc/library
as_user /usr/bin/quillfer-cli convert -c 7 -m 0 -f 8 -r --keep-tree --progress json --dry-run --output-folder "$home/dry" \
  "$library" >"$work/dry.jsonl" 2>/dev/null || fail "dry run"
[ ! -e "$home/dry" ] || fail "the dry run made its output folder"
as_user /usr/bin/quillfer-cli convert -c 7 -m 0 -f 8 -r --keep-tree --progress json --output-folder "$home/dry" \
  "$library" >"$work/ran.jsonl" 2>/dev/null || fail "the run after the dry run"
python3 - "$work/dry.jsonl" "$work/ran.jsonl" <<'PY' || fail "the dry run listed another run"
import json, sys
dry, ran = ([json.loads(l) for l in open(p, encoding="utf-8")] for p in sys.argv[1:])
pick = lambda rows, state: sorted((o["file"], o["output"]) for o in rows if o.get("state") == state)
assert pick(dry, "planned") == pick(ran, "done") and pick(dry, "skipped") == pick(ran, "skipped"), (dry, ran)
assert ran[-1]["state"] == "summary" and ran[-1]["converted"] == len(pick(ran, "done")), ran[-1]
PY

echo "== the desktop program under Xvfb"
echo "open-file limits $(ulimit -Sn)/$(ulimit -Hn), $(ls /proc/$$/fd | wc -l) descriptors open here"
as_user xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  bash "$work/gui_instances.sh" /usr/bin/quillfer /usr/bin/quillfer "$home/gui" || fail "the desktop program"
[ -f "$home/gui/home/.config/quillfer/cfg" ] || fail "the user's cfg was not written"

# Nothing was written into the program directory, and the package is intact.
[ -z "$(find /usr/lib/quillfer -newer "$stamp" ! -type d -print -quit)" ] || fail "the program directory was written to"
dpkg --verify quillfer || fail "installed files were changed"

echo "== the administrator's seed, then a purge that takes it too"
install -D -m 644 "$home2/.config/quillfer/cfg" /etc/quillfer/cfg
cp /etc/quillfer/cfg /usr/lib/quillfer/cfg
mkdir -p "$work/home3" && chown "$user" "$work/home3"
runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$work/home3" LANG=C.UTF-8 /usr/bin/quillfer-cli presets list \
  | grep -q 旅行 || fail "a new user's first configuration does not come from /etc/quillfer/cfg"
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
[ ! -e /etc/quillfer ] || fail "/etc/quillfer is left"
# Anything else it made: the user's files outside the user's own folder, and
# any new file or folder named after the program.
strays=$(find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path "$work" -o -path /work \) -prune -o \
  -user "$user" -newer "$stamp" -print 2>/dev/null | head -n 20)
[ -z "$strays" ] || fail "files of $user outside its home: $strays"
named=$(find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path "$work" -o -path /work -o -path /tmp \) -prune -o \
  -iname '*quillfer*' -newer "$stamp" -print 2>/dev/null | head -n 20)
[ -z "$named" ] || fail "left after purge: $named"
echo "package test: lintian clean, installed, 14 formats, the desktop program, purged without leftovers"

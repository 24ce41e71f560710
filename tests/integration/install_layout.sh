#!/usr/bin/env bash
# install_layout.sh BUILD_DIR WORK_DIR
# Installs the build into WORK_DIR/root (DESTDIR, prefix /usr) and checks
# the layout: the program directory holds exactly the programs, the helper
# kit under the system's names, the help page and the two links to Debian's
# player and media library; /usr/bin links into it; the menu entry, icons,
# metainfo, man pages, bash completion, copyright and changelog are in place; no test or
# bench program is installed. The installed programs answer --version.
set -euo pipefail
build=$1
out=$2
rm -rf "$out"
mkdir -p "$out"
DESTDIR="$out/root" cmake --install "$build" --prefix /usr >"$out/install.log"
root=$out/root
fail() { echo "FAIL: $*"; exit 1; }

actual=$(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' | LC_ALL=C sort)
expected=$(LC_ALL=C sort <<'LIST'
usr/bin/quillfer
usr/bin/quillfer-cli
usr/lib/quillfer/ALDER.DAT
usr/lib/quillfer/BIRCH.DLL
usr/lib/quillfer/CEDAR.DLL
usr/lib/quillfer/LARCH.DAT
usr/lib/quillfer/MAPLE.DLL
usr/lib/quillfer/MPlayer.exe
usr/lib/quillfer/OLIVE.dll
usr/lib/quillfer/help/index.html
usr/lib/quillfer/quillfer
usr/lib/quillfer/quillfer-cli
usr/share/applications/org.quillfer.Quillfer.desktop
usr/share/bash-completion/completions/quillfer-cli
usr/share/doc/quillfer/changelog.gz
usr/share/doc/quillfer/copyright
usr/share/icons/hicolor/128x128/apps/quillfer.png
usr/share/icons/hicolor/16x16/apps/quillfer.png
usr/share/icons/hicolor/22x22/apps/quillfer.png
usr/share/icons/hicolor/24x24/apps/quillfer.png
usr/share/icons/hicolor/256x256/apps/quillfer.png
usr/share/icons/hicolor/32x32/apps/quillfer.png
usr/share/icons/hicolor/48x48/apps/quillfer.png
usr/share/icons/hicolor/64x64/apps/quillfer.png
usr/share/icons/hicolor/scalable/apps/quillfer.svg
usr/share/man/man1/quillfer-cli.1.gz
usr/share/man/man1/quillfer.1.gz
usr/share/metainfo/org.quillfer.Quillfer.metainfo.xml
LIST
)
[ "$actual" = "$expected" ] || fail "installed files differ from the layout:
$(diff <(echo "$expected") <(echo "$actual") || true)"

# Links: relative, and pointing where the package and its dependencies put things.
[ "$(readlink "$root/usr/bin/quillfer")" = "../lib/quillfer/quillfer" ] || fail "bin/quillfer -> $(readlink "$root/usr/bin/quillfer")"
[ "$(readlink "$root/usr/bin/quillfer-cli")" = "../lib/quillfer/quillfer-cli" ] || fail "bin/quillfer-cli"
case "$(readlink "$root/usr/lib/quillfer/MPlayer.exe")" in ../../bin/mplayer) ;; *) fail "MPlayer.exe -> $(readlink "$root/usr/lib/quillfer/MPlayer.exe")";; esac
case "$(readlink "$root/usr/lib/quillfer/OLIVE.dll")" in ../*-linux-*/libmediainfo.so.0) ;; *) fail "OLIVE.dll -> $(readlink "$root/usr/lib/quillfer/OLIVE.dll")";; esac
# Resolved from the real root, as they will be once installed.
target=$(cd "$root/usr/lib/quillfer" && realpath -m "$(readlink OLIVE.dll)" | sed "s|^$root||")
[ -f "$target" ] || fail "OLIVE.dll would point to a missing $target"
for f in ALDER.DAT BIRCH.DLL CEDAR.DLL LARCH.DAT MAPLE.DLL quillfer quillfer-cli; do
  [ -x "$root/usr/lib/quillfer/$f" ] || fail "$f is not executable"
done

# The scalable icon is well-formed SVG.
xmllint --noout "$root/usr/share/icons/hicolor/scalable/apps/quillfer.svg" || fail "the SVG icon does not parse"
grep -q '<svg' "$root/usr/share/icons/hicolor/scalable/apps/quillfer.svg" || fail "the scalable icon is no SVG"
# Icons: each PNG as large as its folder says.
for png in "$root"/usr/share/icons/hicolor/*/apps/quillfer.png; do
  size=$(basename "$(dirname "$(dirname "$png")")")
  got=$(identify -format '%wx%h' "$png")
  [ "$got" = "$size" ] || fail "$png is $got"
done

# Man pages format without a warning; the versions agree.
for page in quillfer quillfer-cli; do
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null || true)
  [ -z "$warnings" ] || fail "man page $page: $warnings"
done
version=$(ASAN_OPTIONS=detect_leaks=0 "$root/usr/bin/quillfer-cli" --version)
case "$version" in "quillfer-cli "[0-9]*"GNU GPL version 3 or later"*) ;; *) fail "quillfer-cli --version printed '$version'";; esac
gui_version=$(ASAN_OPTIONS=detect_leaks=0 DISPLAY= "$root/usr/bin/quillfer" --version)
[ "${gui_version#quillfer }" = "${version#quillfer-cli }" ] || fail "versions differ: '$gui_version' and '$version'"
number=$(head -n 1 <<<"${version#quillfer-cli }")
# One number everywhere: the man pages, the metainfo, the changelog and the
# window's own title (the help page carries it as the window does).
for page in quillfer quillfer-cli; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | grep -q "Quillfer $number\"" || fail "the man page $page names another version"
done
grep -q "<release version=\"$number\"" "$root/usr/share/metainfo/org.quillfer.Quillfer.metainfo.xml" || fail "the metainfo names another version"
zcat "$root/usr/share/doc/quillfer/changelog.gz" | head -n 1 | grep -q "^quillfer ($number)" || fail "the changelog names another version"
grep -q "<title>Quillfer$number " "$root/usr/lib/quillfer/help/index.html" || fail "the help page names another version than $number"
# The man page names the program directory where the package puts it.
zcat "$root/usr/share/man/man1/quillfer.1.gz" | grep -q '^\.I /usr/lib/quillfer$' || fail "the man page names another program directory"
! zcat "$root"/usr/share/man/man1/*.gz | grep -q '/usr/local\|@' || fail "a man page names /usr/local or an unfilled @name@"
# quillfer-cli(1) lists every --set member the program knows, with its values.
members=$(ASAN_OPTIONS=detect_leaks=0 "$root/usr/bin/quillfer-cli" formats --members | cut -d' ' -f1)
[ "$(wc -l <<<"$members")" -ge 27 ] || fail "formats --members listed: $members"
for member in $members; do
  zcat "$root/usr/share/man/man1/quillfer-cli.1.gz" | grep -q "^\.B $member\$" || fail "the man page lacks --set $member"
done
# bash completes a model name of the category given, as a user's Tab does
# (with the built program: the staged one finds no media library here).
completion=$(env -i PATH="$build/bin:/usr/bin:/bin" LANG=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 bash -c '
  . /usr/share/bash-completion/bash_completion && . "$1"
  COMP_WORDS=(quillfer-cli convert -c MP3 -m 默) COMP_CWORD=5 COMP_LINE="${COMP_WORDS[*]}" COMP_POINT=${#COMP_LINE}
  _quillfer_cli quillfer-cli 默 -m && printf "%s\n" "${COMPREPLY[@]}"' _ "$root/usr/share/bash-completion/completions/quillfer-cli")
[ "$completion" = 默认参数 ] || fail "bash completed '-m 默' as '$completion'"
# The licence: GPL-3+ in the copyright file, the metainfo and the man pages.
grep -q '^License: GPL-3+$' "$root/usr/share/doc/quillfer/copyright" || fail "the copyright file names no GPL-3+"
grep -q '<project_license>GPL-3.0-or-later</project_license>' "$root/usr/share/metainfo/org.quillfer.Quillfer.metainfo.xml" \
  || fail "the metainfo names another licence"
echo "install layout: $(echo "$actual" | wc -l) files as expected"

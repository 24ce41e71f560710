#!/usr/bin/env bash
# quillfer_tab_walk.sh PROGRAM_DIR OUT_DIR PNG_CHECK
# Runs the real quillfer under the X server of $DISPLAY (xvfb-run), puts the
# window active and presses Tab, taking a
# screenshot before the walk and after every key: tab-00.png ... Each
# picture must differ from the one before it (the focus mark moved), and a
# shot after Shift+Tab must equal the one before the last Tab.
set -euo pipefail
program_dir=$1
out=$2
check=$3
steps=${4:-14}

rm -rf "$out"
mkdir -p "$out/home"
cp -al "$program_dir" "$out/prog"
rm -f "$out/prog/cfg"
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config"
unset QT_QPA_PLATFORM
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"

"$out/prog/quillfer" >"$out/quillfer.log" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT

wid=""
for _ in $(seq 300); do
  wid=$(xdotool search --onlyvisible --name '^Quillfer3\.5$' 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  kill -0 $pid 2>/dev/null || { echo "quillfer exited before showing its window"; cat "$out/quillfer.log"; exit 1; }
  sleep 0.1
done
[ -n "$wid" ] || { echo "no window after 30 s"; cat "$out/quillfer.log"; exit 1; }
sleep 1

shot() { import -window "$wid" "$out/$1.png"; "$check" "$out/$1.png" 860 601; }
# A click on the caption makes the window active; the pointer then leaves
# so no hover look or tip stands in the pictures. The first Tab puts the
# focus on the first stop.
xdotool mousemove --window "$wid" 400 12 click 1 mousemove --window "$wid" 560 590
sleep 0.8
shot tab-00
for i in $(seq 1 "$steps"); do
  xdotool key --window "$wid" Tab
  sleep 0.4
  name=$(printf 'tab-%02d' "$i")
  shot "$name"
  previous=$(printf 'tab-%02d' $((i - 1)))
  if cmp -s <(convert "$out/$previous.png" rgb:-) <(convert "$out/$name.png" rgb:-); then
    echo "Tab $i changed nothing on the screen"
    exit 1
  fi
done
xdotool key --window "$wid" shift+Tab
sleep 0.4
shot back
last=$(printf 'tab-%02d' $((steps - 1)))
cmp -s <(convert "$out/$last.png" rgb:-) <(convert "$out/back.png" rgb:-) \
  || { echo "Shift+Tab did not return to the stop before"; exit 1; }

xdotool mousemove --window "$wid" 841 23 click 1
for _ in $(seq 100); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill -0 $pid 2>/dev/null && { echo "quillfer still runs after its close button"; exit 1; }
trap - EXIT
echo "quillfer tab walk: $steps stops, each one visible"

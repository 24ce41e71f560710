#!/usr/bin/env bash
# quillfer_tab_walk.sh PROGRAM_DIR OUT_DIR PNG_CHECK
# Runs the real quillfer under the X server of $DISPLAY (xvfb-run), puts the
# window active and presses Tab, taking a
# screenshot before the walk and after every key: tab-00.png ... Each
# picture must differ from the one before it (the focus mark moved), and a
# shot after Shift+Tab must equal the one before the last Tab.
set -euo pipefail
program_dir=$1
check=$3
steps=${4:-14}

source "$(dirname "$0")/start_quillfer.sh"
start_quillfer "$program_dir" "$2"

shot() { import -window "$wid" "$out/$1.png"; "$check" "$out/$1.png" 860 601; }
# A click on the caption makes the window active; the pointer then leaves
# so no hover look or tip stands in the pictures. The first Tab puts the
# focus on the first stop.
xdotool mousemove --window "$wid" 400 12 click 1 mousemove --window "$wid" 560 590
sleep 0.8
shot tab-00
# same A B: the two screenshots hold the same pixels.
same() { cmp -s <(convert "$out/$1.png" rgb:-) <(convert "$out/$2.png" rgb:-); }
for i in $(seq 1 "$steps"); do
  xdotool key --window "$wid" Tab
  name=$(printf 'tab-%02d' "$i")
  previous=$(printf 'tab-%02d' $((i - 1)))
  # The repaint may lag on a busy machine: look again for a generous while.
  changed=0
  for _ in $(seq 50); do
    sleep 0.2
    shot "$name"
    if ! same "$previous" "$name"; then changed=1; break; fi
  done
  [ $changed -eq 1 ] || { echo "Tab $i changed nothing on the screen"; exit 1; }
done
xdotool key --window "$wid" shift+Tab
last=$(printf 'tab-%02d' $((steps - 1)))
back=0
for _ in $(seq 50); do
  sleep 0.2
  shot back
  if same "$last" back; then back=1; break; fi
done
[ $back -eq 1 ] || { echo "Shift+Tab did not return to the stop before"; exit 1; }

xdotool mousemove --window "$wid" 841 23 click 1
for _ in $(seq 100); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
kill -0 $pid 2>/dev/null && { echo "quillfer still runs after its close button"; exit 1; }
trap - EXIT
echo "quillfer tab walk: $steps stops, each one visible"

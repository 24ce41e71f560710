#!/usr/bin/env bash
# quillfer_smoke.sh PROGRAM_DIR OUT_DIR PNG_CHECK
# Runs the real quillfer under the X server of $DISPLAY (xvfb-run), as a
# user would: waits for its window, takes a screenshot of every view (and of
# the Convert view with the parameter panel slid shut), checks each for size
# and colour, then closes the window with its close button and expects a
# clean exit. The program runs from a hard-linked copy of the program
# directory, so its "cfg" never touches the build's.
set -euo pipefail
program_dir=$1
check=$3

source "$(dirname "$0")/start_quillfer.sh"
start_quillfer "$program_dir" "$2"

# Each click ends with the pointer moved off the controls, so that no hover
# tip stands in the next picture.
click() { xdotool mousemove --window "$wid" "$1" "$2" click 1 mousemove --window "$wid" 560 590; sleep 0.6; }
shot() {
  local name=$1; shift
  import -window "$wid" "$out/$name.png"
  "$check" "$out/$name.png" 860 601 "$@"
}

# Skin colour 0x36,0x6a,0xb3 under the toolbar's right end and in the empty list.
shot convert 840,66,366ab3 400,400,366ab3
click 103 44          # "播放"
shot player 100,200,101010
click 167 44          # "帮助"
shot help 400,300,f4f7fb
click 231 44          # "设置"
shot options 600,400,366ab3
click 39 44           # "转换"
click 23 77           # the toolbar's show/hide button: slide the panel shut
shot convert-shut 840,66,366ab3 400,200,366ab3
click 23 77           # and open again
shot convert-open 840,66,366ab3

xdotool mousemove --window "$wid" 841 23 click 1   # close: the window goes with the click
for _ in $(seq 100); do
  kill -0 $pid 2>/dev/null || break
  sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
  echo "quillfer still runs 10 s after its close button"
  exit 1
fi
trap - EXIT
status=0
wait $pid || status=$?
[ $status -eq 0 ] || { echo "quillfer exited with $status"; cat "$out/quillfer.log"; exit 1; }
[ -f "$out/prog/cfg" ] || { echo "the configuration was not saved at exit"; exit 1; }

# Answers the start-up failure box BOX of program PID with its one button
# (centred, its top 32 pixels above the bottom) and expects the program to
# end with status 1; WHAT names the case in the failure messages.
answer_failure_box() {
  local box=$1 pid=$2 what=$3 status=0
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove --window "$box" $((WIDTH / 2)) $((HEIGHT - 32 + 9)) click 1
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && { echo "$what did not end after its box"; exit 1; }
  trap - EXIT
  wait "$pid" || status=$?
  [ $status -eq 1 ] || { echo "$what exited with $status, expected 1"; exit 1; }
}

# A linked copy of the program directory without its media library and cfg.
copy_without_library() {
  cp -al "$program_dir" "$out/$1"
  rm -f "$out/$1/OLIVE.dll" "$out/$1/cfg"
}
# Starts the copy's quillfer; sets pid.
start_copy() {
  "$out/$1/quillfer" >"$out/$1.log" 2>&1 &
  pid=$!
  trap 'kill $pid 2>/dev/null || true' EXIT
}

# Without its media library the program cannot start: it says so in its
# message box, ends when the box is answered, and leaves the cfg untouched.
copy_without_library broken
printf 'the user file' >"$out/broken/cfg"
start_copy broken
box=""
for _ in $(seq 300); do
  # The box may be mapped and remapped while it settles: take it once a
  # picture of it can be had.
  for candidate in $(xdotool search --onlyvisible --pid $pid 2>/dev/null || true); do
    if import -window "$candidate" "$out/init-failure.png" 2>/dev/null; then box=$candidate; break; fi
  done
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || { echo "no message box without the media library"; cat "$out/broken.log"; exit 1; }
answer_failure_box "$box" $pid "the start without its library"
[ "$(cat "$out/broken/cfg")" = "the user file" ] || { echo "a failed start rewrote the cfg"; exit 1; }

# A library file that is there but will not load is found once the window
# has been painted (its load waits for that): the same box, then status 1.
copy_without_library unloadable
printf 'not a library' >"$out/unloadable/OLIVE.dll"
start_copy unloadable
box=""
for _ in $(seq 300); do
  # Mapped over the painted window; taken once it has drawn itself.
  box=$(xdotool search --all --onlyvisible --pid $pid --name '^提示信息$' 2>/dev/null | head -n 1 || true)
  if [ -n "$box" ]; then
    eval "$(xdotool getwindowgeometry --shell "$box")"
    if import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" "$out/init-failure-late.png" 2>/dev/null \
      && [ "$(identify -format %k "$out/init-failure-late.png" 2>/dev/null || echo 0)" -gt 16 ]; then
      break
    fi
  fi
  box=""
  sleep 0.1
done
[ -n "$box" ] || { echo "no message box for a library that will not load"; cat "$out/unloadable.log"; exit 1; }
answer_failure_box "$box" $pid "the start with an unloadable library"

echo "quillfer smoke: every view shown, closed cleanly; a start without its library fails cleanly"

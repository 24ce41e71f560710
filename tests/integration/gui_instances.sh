#!/usr/bin/env bash
# gui_instances.sh PROGRAM_A PROGRAM_B WORK_DIR
# gui_instances.sh PROGRAM_DIR WORK_DIR
# The desktop program's command line and its one-program-per-user rule, run
# as a user would under the X server of $DISPLAY (xvfb-run):
#   --help, --version and an unknown option need no display; without one
#   (or with a display whose server is gone) a start says so in one line, 1;
#   PROGRAM_A started with two clips shows a window listing both;
#   a second start without files hands over nothing and ends (2 rows);
#   a third start with a third clip hands it over and ends (3 rows);
#   a start with a file that is no media file gets the refusal box in the
#   running window, and the list keeps 3 rows;
#   PROGRAM_B with a configuration of its own runs a window of its own,
#   also when started with a tight soft limit on open files;
#   the close button ends each with status 0; exactly one process ran per
#   configuration; with a build's PROGRAM_DIR, a conversion in the window
#   ended by SIGTERM, SIGHUP or SIGINT in any of its phases leaves
#   nothing (no file, no socket), one ended by SIGKILL leaves no file under
#   an output's name, and `quillfer-cli --if-exists skip` then finishes it. PROGRAM_A and PROGRAM_B may be the same program: B then
#   differs by XDG_CONFIG_HOME (an installed copy keeps cfg there).
# Given a build's PROGRAM_DIR, two hard-linked copies of it are the two
# programs, each with its own cfg beside it.
set -euo pipefail
if [ $# -eq 2 ]; then
  out=$2
  rm -rf "$out"
  mkdir -p "$out"
  cp -al "$1" "$out/prog-a"
  cp -al "$1" "$out/prog-b"
  rm -f "$out/prog-a/cfg" "$out/prog-b/cfg"
  prog_a=$out/prog-a/quillfer
  prog_b=$out/prog-b/quillfer
else
  prog_a=$1
  prog_b=$2
  out=$3
  rm -rf "$out"
fi
mkdir -p "$out/home" "$out/home-b" "$out/media" "$out/runtime"
chmod 700 "$out/runtime"
export XDG_RUNTIME_DIR="$out/runtime"
export HOME="$out/home" XDG_CONFIG_HOME="$out/home/.config"
unset QT_QPA_PLATFORM
# A runtime folder of its own: the instance socket lives there.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
fail() { echo "FAIL: $*"; for f in "$out"/*.log; do echo "--- $f"; cat "$f"; done; exit 1; }

# Options first: they must work without a display.
DISPLAY= "$prog_a" --version >"$out/version.log" 2>&1 || fail "--version exited non-zero"
grep -Eq '^quillfer [0-9]+\.[0-9]+' "$out/version.log" || fail "--version printed $(cat "$out/version.log")"
DISPLAY= "$prog_a" --help >"$out/help.log" 2>&1 || fail "--help exited non-zero"
grep -q 'usage: quillfer \[FILE\]' "$out/help.log" || fail "--help printed no usage"
status=0; "$prog_a" --no-such-option >"$out/bad-option.log" 2>&1 || status=$?
[ $status -eq 2 ] || fail "an unknown option exited with $status, expected 2"
grep -q "unknown option '--no-such-option'" "$out/bad-option.log" || fail "the unknown option was not named"
# Without a display (none set, or one whose server is gone): one line, status 1.
gone=1234; while [ -e "/tmp/.X11-unix/X$gone" ]; do gone=$((gone + 1)); done
for display in "" ":$gone"; do
  status=0; env -u WAYLAND_DISPLAY DISPLAY="$display" "$prog_a" >"$out/no-display.log" 2>&1 || status=$?
  [ $status -eq 1 ] && [ "$(wc -l <"$out/no-display.log")" -eq 1 ] && grep -q '图形显示' "$out/no-display.log" \
    || fail "without the display '$display': status $status"
done

# Three short clips, names with blanks and Chinese included, and a text file.
gen() { ffmpeg -v error -y -f lavfi -i "testsrc=size=160x120:rate=25:duration=1" \
          -f lavfi -i "sine=frequency=440:duration=1" -shortest "$@"; }
gen "$out/media/first clip.avi"
gen "$out/media/第二.mp4"
gen "$out/media/third.mpg"
printf 'not media\n' >"$out/media/notes.txt"

# The processes of one program file and user, by their executable.
real_a=$(readlink -f "$prog_a")
real_b=$(readlink -f "$prog_b")
count_of() {
  local n=0 p
  for p in $(pgrep -u "$(id -u)" -x quillfer 2>/dev/null || true); do
    [ "$(readlink -f /proc/$p/exe 2>/dev/null)" = "$1" ] && n=$((n + 1))
  done
  echo $n
}
window_of() {
  local wid="" i
  for i in $(seq 300); do
    wid=$(xdotool search --all --onlyvisible --pid "$1" --name '^Quillfer3\.5$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    kill -0 "$1" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
close_window() {  # pid wid: the close button, then a clean end
  xdotool mousemove --window "$2" 841 23 click 1
  local i
  for i in $(seq 150); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && fail "quillfer $1 still runs 15 s after its close button"
  local s=0; wait "$1" || s=$?
  [ $s -eq 0 ] || fail "quillfer $1 exited with $s"
}
# A later start: it must end by itself, with status 0, saying how many rows
# the running window lists.
hand_over() {  # expected-rows log args...
  local rows=$1 log=$2; shift 2
  local s=0
  timeout 60 "$prog_a" "$@" >"$out/$log.log" 2>&1 || s=$?
  [ $s -eq 0 ] || fail "the start with '$*' exited with $s"
  grep -q "which now lists $rows task(s)" "$out/$log.log" \
    || fail "the start with '$*' reported: $(cat "$out/$log.log")"
}

cd "$out/media"   # relative names are the caller's, not the running window's
"$prog_a" "first clip.avi" "$out/media/第二.mp4" >"$out/first.log" 2>&1 &
pid_a=$!
trap 'kill $pid_a ${pid_b:-} 2>/dev/null || true' EXIT
wid_a=$(window_of $pid_a) || fail "no window from the first start"

hand_over 2 second
[ "$(count_of "$real_a")" = 1 ] || fail "$(count_of "$real_a") programs run after the second start"
hand_over 3 third "$out/media/third.mpg"
[ "$(count_of "$real_a")" = 1 ] || fail "$(count_of "$real_a") programs run after the third start"
sleep 1
import -window "$wid_a" "$out/three-rows.png"

# A file that is no media file: the running window names it in its box (the
# start that brought it waits for the answer no longer than it must).
timeout 60 "$prog_a" notes.txt >"$out/refused.log" 2>&1 &
pid_refused=$!
box=""
for _ in $(seq 300); do
  for candidate in $(xdotool search --all --onlyvisible --pid $pid_a --name '^提示信息$' 2>/dev/null || true); do
    if import -window "$candidate" "$out/refusal-box.png" 2>/dev/null; then box=$candidate; break; fi
  done
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no refusal box for a file that is no media file"
eval "$(xdotool getwindowgeometry --shell "$box")"
xdotool mousemove --window "$box" $((WIDTH / 2)) $((HEIGHT - 32 + 9)) click 1
s=0; wait $pid_refused || s=$?
[ $s -eq 0 ] || fail "the start with a refused file exited with $s"
grep -q "which now lists 3 task(s)" "$out/refused.log" || fail "after the refusal: $(cat "$out/refused.log")"

# Another configuration: a program of its own, started as a launcher with a
# tight soft limit on open files would start it (the X server passes picture
# buffers as descriptors; one refused ends the display connection).
(ulimit -Sn 15; HOME="$out/home-b" XDG_CONFIG_HOME="$out/home-b/.config" \
  exec "$prog_b" "$out/media/third.mpg") >"$out/other.log" 2>&1 &
pid_b=$!
wid_b=$(window_of $pid_b) || fail "a second configuration got no window of its own"
[ "$(count_of "$real_a")" -ge 1 ] && kill -0 $pid_a || fail "the first program is gone"

close_window $pid_b "$wid_b"
close_window $pid_a "$wid_a"
trap - EXIT
[ "$(count_of "$real_a")" = 0 ] || fail "a program is left running"
# The player's search for a sound output at start kept its drivers' failures
# to itself (the machine has no sound card, so every driver but the last fails).
! grep -l 'audio driver\|alsa-lib\|\[AO' "$out/first.log" "$out/other.log" || fail "the player's errors reached the terminal"
[ $# -eq 2 ] || { echo "gui instances: options, two files at start, two later starts handed over, a refusal, a second configuration"; exit 0; }

# A conversion in the window ended from outside, in each of its phases. A copy
# of the program whose encoder and muxer are the real ones behind a wrapper:
# the wrapper of the phase in QF_PAUSE_STEP runs the real program to its end,
# marks QF_PAUSE_MARKER and stops itself, so the signal lands in that phase.
cp -al "$1" "$out/prog-c"
rm -f "$out/prog-c/cfg"
for tool in ALDER.DAT:encode CEDAR.DLL:mux; do
  name=${tool%%:*}
  mv "$out/prog-c/$name" "$out/prog-c/$name.real"
  cat >"$out/prog-c/$name" <<WRAPPER
#!/bin/sh
step=other
case "\$*" in
  *'-of rawvideo'*|*'-oac copy'*) ;;
  *vpass=1*) step=pass1;;
  *vpass=2*) step=pass2;;
  *-rate=*|*'-ovc xvid'*) step=${tool#*:};;
esac
"\$0.real" "\$@"
status=\$?
if [ "\$step" = "\$QF_PAUSE_STEP" ]; then : >"\$QF_PAUSE_MARKER"; kill -STOP \$\$; fi
exit \$status
WRAPPER
  chmod 755 "$out/prog-c/$name"
done
export HOME="$out/home-c" XDG_CONFIG_HOME="$out/home-c/.config" QF_PAUSE_MARKER="$out/paused"
converted="$out/home-c/Documents/Tarnwell输出"
mkdir -p "$HOME"
gen "$out/media/run.avi"
now_ms() { echo $(($(date +%s%N) / 1000000)); }
visible_outputs() { find "$converted" -mindepth 1 -maxdepth 1 ! -name '.*' -printf '%f:%s\n' 2>/dev/null | sort; }

# Starts the window with the clip, ticks its row, starts the conversion and
# waits until the wrapper of phase $1 has stopped itself. The passes are
# those of the DVD format, chosen for the row first; the others are of the
# first format (3gp).
convert_until() {
  rm -f "$QF_PAUSE_MARKER"
  # As from a terminal: a script's background job would start with SIGINT ignored.
  QF_PAUSE_STEP=$1 env --default-signal=INT "$out/prog-c/quillfer" "$out/media/run.avi" >"$out/window-$1.log" 2>&1 &
  pid_c=$!
  trap 'kill -9 $pid_c 2>/dev/null || true' EXIT
  wid_c=$(window_of $pid_c) || fail "no window for the conversion"
  # A later start answers once the clip is probed and its row is there.
  timeout 60 "$out/prog-c/quillfer" >"$out/ready-$1.log" 2>&1 || fail "the later start failed: $(cat "$out/ready-$1.log")"
  grep -q "which now lists 1 task(s)" "$out/ready-$1.log" || fail "before $1: $(cat "$out/ready-$1.log")"
  case $1 in pass*)
    xdotool mousemove --window "$wid_c" 400 292 click 1   # the row, so that the settings apply to it
    xdotool mousemove --window "$wid_c" 130 105 click 1   # 选择分类: the fifth, DVD
    sleep 0.5
    xdotool key Down Down Down Down Return
    sleep 0.5;;
  esac
  xdotool mousemove --window "$wid_c" 17 292 click 1    # the row's check box
  xdotool mousemove --window "$wid_c" 172 578 click 1   # 开始转换
  local box="" i
  for i in $(seq 300); do
    box=$(xdotool search --all --onlyvisible --pid $pid_c --name '^提示信息$' 2>/dev/null | head -n 1 || true)
    [ -n "$box" ] && break
    sleep 0.1
  done
  [ -n "$box" ] || fail "no start box"
  eval "$(xdotool getwindowgeometry --shell "$box")"
  xdotool mousemove --window "$box" $((WIDTH / 2)) $((HEIGHT - 32 + 9)) click 1
  for i in $(seq 600); do [ -e "$QF_PAUSE_MARKER" ] && return 0; sleep 0.1; done
  fail "the conversion never reached its $1 phase"
}
ended_within() {  # pid: waits (at most 30 s) and prints the milliseconds it took
  local start=$(now_ms) i
  for i in $(seq 300); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$1" 2>/dev/null && fail "quillfer $1 still runs 30 s after the signal"
  echo $(($(now_ms) - start))
}
no_wrapper_left() {
  local i
  for i in $(seq 100); do pgrep -f "$out/prog-c/" >/dev/null || return 0; sleep 0.1; done
  fail "programs of the stopped conversion still run: $(pgrep -af "$out/prog-c/")"
}

# Logout, shutdown, kill, Ctrl-C: the window ends as its close command does,
# without asking; nothing of the run and no instance socket is left.
for case in TERM:encode HUP:mux TERM:mux HUP:encode TERM:pass2 INT:pass1; do
  sig=${case%%:*}
  convert_until "${case#*:}"
  kill -$sig $pid_c
  took=$(ended_within $pid_c)
  s=0; wait $pid_c || s=$?
  [ $s -eq 0 ] || fail "SIG$sig in the ${case#*:} phase: the window exited with $s"
  no_wrapper_left
  [ -z "$(ls -A "$converted")" ] || fail "SIG$sig in the ${case#*:} phase left: $(ls -A "$converted")"
  ls "$XDG_RUNTIME_DIR" | grep -q '^quillfer-.*\.socket$' && fail "SIG$sig left the instance socket"
  echo "SIG$sig in the ${case#*:} phase: the window ended in $took ms"
done

# Killed outright (SIGKILL, the OOM killer): no file under an output's name;
# the next window run removes what the killed one left.
for phase in encode mux pass1 pass2; do
  convert_until $phase
  kill -KILL $pid_c
  wait $pid_c || true
  no_wrapper_left
  [ -z "$(visible_outputs)" ] || fail "SIGKILL in the $phase phase left $(visible_outputs)"
  [ "$(find "$converted" -mindepth 1 -maxdepth 1 -name '.*.quillfer' | wc -l)" = 1 ] \
    || fail "SIGKILL in the $phase phase: $(ls -A "$converted")"
done
trap - EXIT
# The resume recipe converts what the window did not finish, and nothing of
# the killed runs stays.
for format in "0 -m 0 -f 0" "4 -m 0 -f 10"; do
  s=0
  "$out/prog-c/quillfer-cli" convert -c $format --if-exists skip --output-folder "$converted" "$out/media/run.avi" \
    >>"$out/resume.log" 2>&1 || s=$?
  [ $s -eq 0 ] || fail "the resumed conversion exited with $s"
done
[ "$(ls -A "$converted" | tr '\n' ' ')" = "run.avi-3gp.3gp run.avi-mpg.mpg " ] \
  || fail "after the resumed conversions: $(ls -A "$converted")"
visible_outputs | grep -q ':0$' && fail "a resumed conversion made an empty file"
echo "gui instances: options, two files at start, two later starts handed over, a refusal, a second configuration;"
echo "  SIGTERM/SIGHUP/SIGINT end a conversion in order, SIGKILL leaves no output name, the resumed run finishes it"

#!/usr/bin/env bash
# The software centre's screenshots, taken from the real window: starts
# PROGRAM (a built or installed quillfer) on an X server of its own with two
# generated clips in its task list, waits for the window and saves it as
# OUT_DIR/convert.png (the window, 860 pixels wide), then
# closes it. Upload the file where the metainfo's <screenshot> points.
#   scripts/screenshots.sh PROGRAM OUT_DIR
set -euo pipefail
if [ -z "${QF_SCREENSHOT_SERVER:-}" ]; then
  exec env QF_SCREENSHOT_SERVER=1 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" "$@"
fi
program=$1 out=$2
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill "${pid:-}" 2>/dev/null || true; rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
for name in "旅行 2026.avi" "concert.mp4"; do
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=3" \
    -f lavfi -i "sine=frequency=440:duration=3" -shortest "$work/$name"
done
ASAN_OPTIONS=detect_leaks=0 "$program" "$work/旅行 2026.avi" "$work/concert.mp4" >"$work/program.log" 2>&1 &
pid=$!
wid=""
for _ in $(seq 300); do
  wid=$(xdotool search --all --onlyvisible --pid "$pid" --name '^Quillfer' 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && break
  kill -0 "$pid" 2>/dev/null || { cat "$work/program.log" >&2; exit 1; }
  sleep 0.1
done
[ -n "$wid" ] || { echo "screenshots: no window" >&2; exit 1; }
sleep 2   # the probes of the two files and the first paint
import -window "$wid" "$out/convert.png"
[ "$(identify -format %w "$out/convert.png")" -ge 860 ] || { echo "screenshots: $(identify "$out/convert.png")" >&2; exit 1; }
xdotool mousemove --window "$wid" 841 23 click 1
for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
echo "$out/convert.png"

#!/usr/bin/env bash
# The program window's figures under a real X server (xvfb-run):
#  1) start of quillfer until its window is mapped, against a minimal Qt
#     Widgets window built here (median of RUNS; target <= 1.3x), and the
#     CPU time each had used by then (its live threads; on a busy machine
#     this says more than the wall time, which waits for other programs);
#  2) quillfer's resident memory one second after its window is mapped
#     (target < 120 MB);
#  3) and 4) from main_window_bench: the UI thread's longest stall while a
#     conversion feeds the list (target < 20 ms) and a drop of 200 files
#     against probing them with the engine alone (target <= 1.5x).
#
# usage: bench/main_window_bench.sh [BUILD_DIR] [RUNS]
#   BUILD_DIR  a configured build (default: build, the release preset)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
runs=${2:-5}
source "$top/bench/window_bench_common.sh"
window_bench_setup "$build" quillfer main_window_bench minimal_window -- "$build" "$runs"

now_ms() { date +%s%3N; }
# The CPU milliseconds that a process's live threads have used.
cpu_ms() {
  local ns=0 f run rest
  for f in /proc/"$1"/task/*/schedstat; do
    read -r run rest <"$f" 2>/dev/null || continue
    ns=$((ns + run))
  done
  echo $((ns / 1000000))
}
# Starts a program and prints the milliseconds until the X server maps a
# top-level window of that title, its pid and the CPU milliseconds it had used
# by then. The map is seen as it happens (xev on the root window's
# substructure, a line per event), not by polling, which would round both
# sides up to its period.
time_to_map() {
  local title=$1; shift
  local t0 t1 line window pid mapping=""
  coproc XEV { exec stdbuf -oL xev -root -event substructure -event property; }
  # Once xev reports a change of a root property it has selected its events.
  local seen=""
  while [ -z "$seen" ]; do
    xprop -root -f _QF_BENCH_PING 8s -set _QF_BENCH_PING "$RANDOM"
    read -r -t 0.5 line <&"${XEV[0]}" && case $line in PropertyNotify*) seen=1 ;; esac
  done
  t0=$(now_ms)
  "$@" >>"$work/programs.log" 2>&1 &
  pid=$!
  while read -r -t 10 line <&"${XEV[0]}"; do
    # A MapNotify is two lines; its second names the window.
    case $line in MapNotify*) mapping=1; continue ;; esac
    [ -n "$mapping" ] || continue
    mapping=""
    case $line in *", override NO"*) ;; *) continue ;; esac
    t1=$(now_ms)
    window=${line##*window }; window=${window%%,*}
    if xprop -id "$window" WM_NAME 2>/dev/null | grep -Eq "= \"$title\"\$"; then
      echo "$((t1 - t0)) $pid $(cpu_ms "$pid")"
      kill "$XEV_PID" 2>/dev/null; wait "$XEV_PID" 2>/dev/null || true
      return
    fi
  done
  kill "$XEV_PID" 2>/dev/null || true
  echo "main_window_bench: $1 mapped no window named $title within 10 s:" >&2
  tail -n 20 "$work/programs.log" >&2
  exit 1
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

q_times=() b_times=() q_cpu=() b_cpu=() rss=0
for _ in $(seq "$runs"); do
  read -r ms pid cpu < <(time_to_map 'QuillferBenchBaseline' "$build/bin/minimal_window")
  b_times+=("$ms"); b_cpu+=("$cpu"); kill "$pid"; wait "$pid" 2>/dev/null || true
  read -r ms pid cpu < <(time_to_map 'Quillfer3\.5' "$work/prog/quillfer")
  q_times+=("$ms"); q_cpu+=("$cpu")
  sleep 1
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status")
  kill "$pid"; wait "$pid" 2>/dev/null || true
done
qm=$(printf '%s\n' "${q_times[@]}" | median)
bm=$(printf '%s\n' "${b_times[@]}" | median)
echo "1) start until the window is mapped: quillfer ${qm} ms, minimal Qt window ${bm} ms, ratio $(awk -v a="$qm" -v b="$bm" 'BEGIN {printf "%.2f", a / b}') (target <= 1.3)"
qc=$(printf '%s\n' "${q_cpu[@]}" | median)
bc=$(printf '%s\n' "${b_cpu[@]}" | median)
echo "   CPU used until mapped: quillfer ${qc} ms, minimal Qt window ${bc} ms, ratio $(awk -v a="$qc" -v b="$bc" 'BEGIN {printf "%.2f", a / (b > 0 ? b : 1)}'); load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "2) resident memory after start: $((rss / 1024)) MB (target < 120 MB)"

ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=640x480:rate=25:duration=20 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=20 -ac 2 -c:v mpeg4 -q:v 5 -c:a mp3 "$work/clip.avi"
mkdir -p "$work/files"
ffmpeg -nostdin -y -loglevel error -f lavfi -i testsrc=size=320x240:rate=25:duration=2 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 -ac 2 -c:v mpeg4 -c:a mp3 "$work/one.avi"
for i in $(seq -w 200); do cp "$work/one.avi" "$work/files/file-$i.avi"; done
"$build/bin/main_window_bench" "$work/prog" "$work/clip.avi" "$work/files" | sed 's/^a)/3)/; s/^b)/4)/'

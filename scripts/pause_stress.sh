#!/usr/bin/env bash
# Runs ctest while pausing each test process for 350 ms every 0.6 s (SIGSTOP,
# then SIGCONT), as a preempted CI machine does: a test that fails here waits
# on time instead of on the state it tests. The arguments go to ctest, e.g.
#   scripts/pause_stress.sh --preset asan -R 'TaskJob|ConversionWorker' -j2
# --tree (first): pause every process the tests started as well.
# Run it after a build (scripts/test.sh or cmake --build --preset asan).
set -u
cd "$(dirname "$0")/.."
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

tree=0
if [ "${1:-}" = "--tree" ]; then
  tree=1
  shift
fi

ctest "$@" &
ctest_pid=$!
paused=()

resume() {
  if [ ${#paused[@]} -gt 0 ]; then
    kill -CONT "${paused[@]}" 2>/dev/null
  fi
  paused=()
}
# Whatever ends this script, nothing it paused stays paused.
trap resume EXIT
trap 'resume; kill -TERM "$ctest_pid" 2>/dev/null; exit 130' INT TERM

# The children of $1, from /proc (field 4 of stat, after the command's
# parenthesised name).
children() {
  local stat line fields
  for stat in /proc/[0-9]*/stat; do
    read -r line 2>/dev/null < "$stat" || continue
    read -r -a fields <<< "${line##*) }"
    if [ "${fields[1]}" = "$1" ]; then
      stat=${stat#/proc/}
      echo "${stat%/stat}"
    fi
  done
}

# The processes below $1: the test processes, and with --tree theirs too.
below() {
  local child
  for child in $(children "$1"); do
    echo "$child"
    if [ "$tree" = 1 ]; then below "$child"; fi
  done
}

while kill -0 "$ctest_pid" 2>/dev/null; do
  sleep 0.25
  mapfile -t paused < <(below "$ctest_pid")
  if [ ${#paused[@]} -gt 0 ]; then
    kill -STOP "${paused[@]}" 2>/dev/null
  fi
  sleep 0.35
  resume
done
wait "$ctest_pid"

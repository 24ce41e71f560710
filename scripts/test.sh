#!/usr/bin/env bash
# Installs what is needed, builds the test build (ASan + UBSan, warnings as
# errors) and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/tests/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
ctest --preset asan -j2 "$@"
# The installed package, from a release build of its own.
if [ $# -eq 0 ]; then
  scripts/package-test.sh
else
  echo "package test not run: ctest arguments were given"
fi

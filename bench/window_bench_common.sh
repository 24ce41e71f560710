# Sourced by the benches of the program window. window_bench_setup BUILD
# TARGET... -- ARG... builds the targets in BUILD (a missing build is
# configured with the release preset), runs the calling script again under
# Xvfb with ARG... when no X server is set, and makes $work: a linked copy of
# the program directory without its cfg ($work/prog) and a fresh $HOME.
window_bench_setup() {
  local build=$1; shift
  local targets=()
  while [ "$1" != "--" ]; do targets+=("$1"); shift; done
  shift
  [ -f "$build/CMakeCache.txt" ] || cmake --preset default >/dev/null
  cmake --build "$build" --target "${targets[@]}" >/dev/null
  if grep -q '^QF_SANITIZE:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null; then
    echo "note: $build is a sanitizer build; its figures are higher than a release build's"
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
  fi
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
  fi
  unset QT_QPA_PLATFORM

  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cp -al "$build/bin" "$work/prog"
  rm -f "$work/prog/cfg"
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
  mkdir -p "$HOME"
}

# Sourced by the scripts that drive the real quillfer under the X server of
# $DISPLAY (xvfb-run): start_quillfer PROGRAM_DIR OUT_DIR runs the program
# from a hard-linked copy of the program directory (so its "cfg" never
# touches the build's), with a home of its own, and waits for its window.
# Sets pid and wid; the EXIT trap ends the program if the script fails.
start_quillfer() {
  local program_dir=$1
  out=$2
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
}

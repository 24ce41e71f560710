#!/bin/sh
# Runs player_view_bench under a virtual X server.
#   bench/player_view_bench.sh BUILD_DIR [RUNS]
set -e
build="${1:?usage: $0 BUILD_DIR [RUNS]}"
runs="${2:-10}"
bin="$build/bin/player_view_bench"
[ -x "$bin" ] || { echo "player_view_bench: build the target player_view_bench in $build first" >&2; exit 1; }
command -v xvfb-run >/dev/null || { echo "player_view_bench: xvfb-run is missing (scripts/install-deps.sh)" >&2; exit 1; }
unset QT_QPA_PLATFORM
exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$bin" "$runs"

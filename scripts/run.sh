#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default
if [ -x build/bin/quillfer ]; then
  exec build/bin/quillfer "$@"
fi
[ $# -gt 0 ] || set -- --help
exec build/bin/quillfer-cli "$@"

#!/usr/bin/env bash
# Builds the Debian package: a release build without tests or benchmarks in
# build-package/, then CPack. Prints the package's path on its last line.
#   sudo apt install ./build-package/quillfer_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset package >/dev/null
cmake --build --preset package
rm -f build-package/quillfer_*.deb
(cd build-package && cpack -G DEB >cpack.log) || { cat build-package/cpack.log; exit 1; }
ls "$PWD"/build-package/quillfer_*.deb

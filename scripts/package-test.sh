#!/usr/bin/env bash
# The package as a user gets it: builds it (scripts/package.sh), checks it
# with lintian, installs it with apt-get, uses it as an unprivileged user
# with the program directory read-only, removes it and looks for leftovers
# (tests/integration/package_test.sh). Installing needs root or sudo; without
# either the test is skipped and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null && sudo -n true 2>/dev/null; then
    sudo="sudo -n"
  else
    echo "******** PACKAGE TEST SKIPPED: installing a package needs root or password-less sudo ********"
    exit 0
  fi
fi
deb=$(scripts/package.sh | tail -n 1)
$sudo bash tests/integration/package_test.sh "$deb" "$PWD/build-package/package-test"

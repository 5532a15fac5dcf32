#!/usr/bin/env bash
# Builds the Release program and the Debian package tapper_<version>_<arch>.deb,
# and prints the package's path. The launcher and the desktop files go below
# /usr in the package; the program folder is /opt/orvantek/tapper.
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$OV_ROOT/scripts/setup.sh"

ov_ensure_packages "${OV_PACKAGES[@]}"
BUILD=${OV_PACKAGE_BUILD_DIR:-$OV_ROOT/build-package}
ov_build "$BUILD" -DCMAKE_BUILD_TYPE=Release -DOV_BUILD_TESTS=OFF -DOV_SANITIZE=OFF \
  -DCMAKE_INSTALL_PREFIX=/opt/orvantek/tapper -DOV_INSTALL_SYSTEM_PREFIX=/usr

cd "$BUILD"
rm -f tapper_*.deb
cpack -G DEB >cpack.log 2>&1 || { cat cpack.log >&2; exit 1; }
deb=$(ls "$BUILD"/tapper_*.deb)
echo "$deb"

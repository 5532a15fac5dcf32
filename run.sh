#!/usr/bin/env bash
# Installs what is missing (as root), builds the program and runs it with the
# given arguments.
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$OV_ROOT/scripts/setup.sh"

ov_ensure_packages "${OV_PACKAGES[@]}"
BUILD=${OV_BUILD_DIR:-$OV_ROOT/build}
ov_build "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOV_BUILD_TESTS=OFF

if [ $# -eq 0 ] && [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  set -- --console --count=4 127.0.0.1
fi
exec "$BUILD/bin/tapper" "$@"

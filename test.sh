#!/usr/bin/env bash
# Installs what is missing (as root), builds everything with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs the whole test suite.
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$OV_ROOT/scripts/setup.sh"

ov_ensure_packages "${OV_PACKAGES[@]}"
BUILD=${OV_TEST_BUILD_DIR:-$OV_ROOT/build-test}
ov_build "$BUILD" -DCMAKE_BUILD_TYPE=Debug -DOV_SANITIZE=ON -DOV_BUILD_TESTS=ON

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export QT_QPA_PLATFORM=offscreen

# netns tests need root and network namespaces; the rest always run (the net
# tests skip themselves, saying why, when no ICMP socket can be opened).
exclude=()
if [ "$(id -u)" -ne 0 ] || ! ip netns list >/dev/null 2>&1; then
  echo "Not root or no network namespaces: leaving out the netns tests."
  exclude=(-LE netns)
fi
cd "$BUILD"
ctest --output-on-failure --timeout 600 -j "$(nproc)" "${exclude[@]}"

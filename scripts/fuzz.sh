#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one for
# the given number of seconds (default 60): scripts/fuzz.sh [seconds] [name...]
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$OV_ROOT/scripts/setup.sh"
ov_ensure_packages "${OV_PACKAGES[@]}" clang libclang-rt-14-dev
secs=${1:-60}; shift || true
BUILD=$OV_ROOT/build-fuzz
CC=clang CXX=clang++ cmake -S "$OV_ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOV_SANITIZE=ON -DOV_BUILD_FUZZ=ON -DOV_BUILD_TESTS=ON >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(ninja -C "$BUILD" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
fi
# Only the fuzz programs and what they need.
ninja -C "$BUILD" -j "$(nproc)" "${targets[@]}"
for t in "${targets[@]}"; do
  corpus=$BUILD/corpus/$t; mkdir -p "$corpus"
  seeds=$OV_ROOT/tests/data/fuzz/${t#fuzz_}
  echo "== $t for ${secs}s"
  "$BUILD/bin/$t" -max_total_time="$secs" -print_final_stats=1 "$corpus" \
    $( [ -d "$seeds" ] && echo "$seeds" ) 2>&1 | tail -n 12
done

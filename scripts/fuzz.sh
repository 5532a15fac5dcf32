#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each one for
# the given number of seconds (default 60): scripts/fuzz.sh [seconds] [name...]
#
# Every target runs, whatever an earlier one found. Each target starts from
# its seed corpus in tests/data/fuzz/<name without "fuzz_"> (with the
# dictionary tests/data/fuzz/<name without "fuzz_">.dict when there is one)
# and keeps what it learns in build-fuzz/corpus/<target>. The whole output of each run and any
# input that crashed it are kept under one folder per run,
# build-fuzz/results/<time>/<target>/ (log.txt, crash-*, leak-*, timeout-*...).
# The script ends with a line per target and fails when any target failed.
set -euo pipefail
OV_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$OV_ROOT/scripts/setup.sh"
ov_ensure_packages "${OV_PACKAGES[@]}" clang libclang-rt-dev
secs=${1:-60}; shift || true
BUILD=$OV_ROOT/build-fuzz
RESULTS=$BUILD/results/$(date -u +%Y%m%d-%H%M%S)
CC=clang CXX=clang++ cmake -S "$OV_ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOV_SANITIZE=ON -DOV_BUILD_FUZZ=ON -DOV_BUILD_TESTS=ON >/dev/null
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(ninja -C "$BUILD" -t targets all | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\): .*/\1/p' | sort -u)
fi
# Only the fuzz programs and what they need.
ninja -C "$BUILD" -j "$(nproc)" "${targets[@]}"

summary=()
failed=0
for t in "${targets[@]}"; do
  corpus=$BUILD/corpus/$t
  out=$RESULTS/$t
  mkdir -p "$corpus" "$out"
  seeds=$OV_ROOT/tests/data/fuzz/${t#fuzz_}
  dirs=("$corpus")
  if [ -d "$seeds" ]; then
    dirs+=("$seeds")
  else
    echo "warning: $t has no seed corpus in $seeds" >&2
  fi
  options=()
  if [ -f "$seeds.dict" ]; then
    options+=(-dict="$seeds.dict")
  fi
  echo "== $t for ${secs}s (log: $out/log.txt)"
  rc=0
  "$BUILD/bin/$t" -max_total_time="$secs" -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$out/" "${options[@]}" "${dirs[@]}" >"$out/log.txt" 2>&1 || rc=$?
  if [ "$rc" -eq 0 ]; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/log.txt" | tail -n 1)
    summary+=("$t: clean, ${runs:-?} runs")
  else
    failed=1
    artifacts=$(find "$out" -maxdepth 1 -type f ! -name log.txt -printf '%f ' 2>/dev/null)
    summary+=("$t: FAILED (exit $rc) ${artifacts:+inputs: $artifacts}see $out/log.txt")
    # The sanitizer's own summary line and the crash input's name, in full in the log.
    grep -E '^(==[0-9]+==ERROR|SUMMARY:|artifact_prefix|Test unit written)' "$out/log.txt" | head -n 6 || true
  fi
done
echo "== results in $RESULTS"
printf '%s\n' "${summary[@]}"
exit "$failed"

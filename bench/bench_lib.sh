# Shared start of the console benchmark scripts. Sourced, not run; expects
# ROOT to be the project folder.

# Sets TAPPER: OV_BENCH_TAPPER when given, else a Release build of the
# program in OV_BENCH_BUILD_DIR (default build-bench/).
ov_bench_tapper() {
  TAPPER=${OV_BENCH_TAPPER:-}
  if [ -z "$TAPPER" ]; then
    local build=${OV_BENCH_BUILD_DIR:-$ROOT/build-bench}
    cmake -S "$ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOV_BUILD_TESTS=OFF >/dev/null
    ninja -C "$build" -j2 tapper >/dev/null
    TAPPER=$build/bin/tapper
  fi
}

# Sets WORK to a folder removed at exit.
ov_bench_workdir() {
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
}

#!/usr/bin/env bash
# Pings N loopback hosts (127.0.0.1, 127.0.0.2, ...) once a second for S
# seconds through the probe engine and through fping, one after the other in
# the same run, and prints one table.
#
#   bench/engine_vs_fping.sh [N ...]            (default: 10 100 1000)
#   OV_BENCH_SECONDS=20  run length per tool
#   OV_BENCH_BIN=path    use this engine_hosts_bench instead of building one
#
# fping keeps every host on one socket and paces all sends by a global
# interval (-i, default 10 ms, too slow for 1000 hosts at 1 s), so it runs as
#   fping -q -c S -p 1000 -i 1 -t 500 -b 56 HOSTS
# (S requests per host, one per second per host, 1 ms between any two sends,
# 500 ms timeout, 56 data bytes); the engine uses TimeDelay 1000, TimeOut 500,
# Size 56. The engine runs with the provider this process gets (raw as root,
# where ping_group_range allows no datagram sockets) and, as root, a second
# time in a private network namespace that allows datagram ICMP sockets.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_RUN=${OV_BENCH_SECONDS:-20}
COUNTS=("$@")
[ ${#COUNTS[@]} -gt 0 ] || COUNTS=(10 100 1000)

OV_ROOT=$ROOT
source "$ROOT/scripts/setup.sh"
ov_ensure_packages "${OV_PACKAGES[@]}" libbenchmark-dev fping time

BIN=${OV_BENCH_BIN:-}
if [ -z "$BIN" ]; then
  BUILD=${OV_BENCH_BUILD_DIR:-$ROOT/build-bench}
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DOV_BUILD_BENCH=ON \
    -DOV_BUILD_TESTS=OFF >/dev/null
  ninja -C "$BUILD" -j2 engine_hosts_bench >/dev/null
  BIN=$BUILD/bin/engine_hosts_bench
fi

hosts_of() {
  local n=$1 i
  for ((i = 0; i < n; i++)); do printf '127.0.%d.%d ' $((i / 254)) $((i % 254 + 1)); done
}

field() { sed -n "s/.*\b$1=\([^ ]*\).*/\1/p" <<<"$2"; }

rows=()
add_row() {  # tool n sent answered cpu rss_kb delete_ms fping_cpu_per_k
  local tool=$1 n=$2 sent=$3 answered=$4 cpu=$5 rss=$6 del=$7 ref=$8
  local expected=$((n * SECONDS_PER_RUN))
  rows+=("$(awk -v t="$tool" -v n="$n" -v s="$sent" -v a="$answered" -v e="$expected" \
    -v c="$cpu" -v r="$rss" -v d="$del" -v f="$ref" 'BEGIN {
      per = a > 0 ? c * 1000 / a : 0
      ratio = (f > 0 && t != "fping") ? sprintf("%.2f", per / f) : "-"
      printf "%-18s %5d %9d/%-7d %7.2f%% %9.2f%% %12.4f %7s %8.1f %10s\n", t, n, a, e,
        100 * a / e, (s > 0 ? 100 * a / s : 0), per, ratio, r / 1024, d
    }')")
}

run_engine() {  # label n [extra args] -> prints the bench line
  "$BIN" --hosts="$2" --seconds="$SECONDS_PER_RUN" --delay=1000 --timeout=500 --size=56 "${@:3}"
}

for n in "${COUNTS[@]}"; do
  # fping first: its CPU per 1000 echoes is the reference of the ratios.
  out=$(/usr/bin/time -f 'TIME %U %S %M' fping -q -c "$SECONDS_PER_RUN" -p 1000 -i 1 -t 500 -b 56 \
        $(hosts_of "$n") 2>&1 || true)
  read -r _ fu fs frss < <(grep '^TIME' <<<"$out")
  read -r fsent fans < <(awk -F'[ /=,]+' '/xmt\/rcv/ { x += $6; r += $7 } END { print x + 0, r + 0 }' <<<"$out")
  fcpu=$(awk -v u="$fu" -v s="$fs" 'BEGIN { print u + s }')
  fper=$(awk -v c="$fcpu" -v a="$fans" 'BEGIN { print (a > 0 ? c * 1000 / a : 0) }')
  add_row fping "$n" "$fsent" "$fans" "$fcpu" "$frss" - 0

  line=$(run_engine engine "$n")
  add_row "engine ($(field provider "$line" | sed 's/icmp-//'))" "$n" "$(field sent "$line")" \
    "$(field answered "$line")" "$(field cpu "$line")" "$(field rss_kb "$line")" \
    "$(field delete_ms "$line")" "$fper"

  if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then
    line=$(unshare -n sh -c 'ip link set lo up &&
      sysctl -q -w net.ipv4.ping_group_range="0 2147483647" && exec "$@"' sh \
      "$BIN" --hosts="$n" --seconds="$SECONDS_PER_RUN" --delay=1000 --timeout=500 --size=56 \
      --provider=datagram)
    add_row "engine (datagram)" "$n" "$(field sent "$line")" "$(field answered "$line")" \
      "$(field cpu "$line")" "$(field rss_kb "$line")" "$(field delete_ms "$line")" "$fper"
  fi
done

printf '%-18s %5s %17s %8s %10s %12s %7s %8s %10s\n' tool N answered/expected \
  of-exp of-sent "CPU s/1000" ratio "RSS MB" "delete ms"
printf '%s\n' "${rows[@]}"

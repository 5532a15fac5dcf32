#!/usr/bin/env bash
# Pings N loopback hosts (127.0.0.1, 127.0.0.2, ...) once a second for S
# seconds through the probe engine and through fping, one after the other in
# the same run, three times each, and prints one table of the medians.
#
#   bench/engine_vs_fping.sh [N ...]            (default: 10 100 1000 5000)
#   OV_BENCH_SECONDS=20  run length per tool
#   OV_BENCH_RUNS=3      runs of each configuration; the table shows medians
#   OV_BENCH_NOFILE=1024 soft limit on open files every run starts under (the
#                        engine raises it to the hard limit, as the program does)
#   OV_BENCH_BIN=path    use this engine_hosts_bench instead of building one
#   OV_BENCH_RAW_MAX=1000 largest N run with raw sockets: every raw ICMP socket
#                        of the machine is checked against every ICMP packet,
#                        so N raw sockets cost N checks per packet and 5000 of
#                        them at one echo a second keep two cores busy
#
# fping keeps every host on one socket and paces all sends by a global
# interval, so it runs as
#   fping -q -c S -p 1000 -i I -t 500 -b 56 HOSTS
# with I = 1 ms up to 1000 hosts and 0 above (1 ms between any two sends
# cannot reach 5000 hosts a second). The engine uses TimeDelay 1000, TimeOut
# 500, Size 56, with the provider this process gets (raw as root, where
# ping_group_range allows no datagram sockets) and, as root, a second time in
# a private network namespace that allows datagram ICMP sockets.
#
# Columns: creation = CPU seconds to create the N hosts until each has
# resolved its name and opened its socket; steady = CPU seconds per 1000
# answered echoes after a 3 s warm-up (fping: its whole run); ratio = steady
# against fping's; RSS = peak resident memory of the whole run, and per host.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECONDS_PER_RUN=${OV_BENCH_SECONDS:-20}
RUNS=${OV_BENCH_RUNS:-3}
NOFILE=${OV_BENCH_NOFILE:-1024}
RAW_MAX=${OV_BENCH_RAW_MAX:-1000}
COUNTS=("$@")
[ ${#COUNTS[@]} -gt 0 ] || COUNTS=(10 100 1000 5000)

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

# Median of the numbers given as arguments.
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# Runs a command under the soft open-file limit.
limited() { bash -c 'ulimit -Sn "$0" && exec "$@"' "$NOFILE" "$@"; }

# One fping run: prints "sent answered cpu rss_kb".
run_fping() {
  local n=$1 interval=1 out
  [ "$n" -le 1000 ] || interval=0
  out=$(limited /usr/bin/time -f 'TIME %U %S %M' fping -q -c "$SECONDS_PER_RUN" -p 1000 \
        -i "$interval" -t 500 -b 56 $(hosts_of "$n") 2>&1 || true)
  local fu fs frss fsent fans
  read -r _ fu fs frss < <(grep '^TIME' <<<"$out")
  read -r fsent fans < <(awk -F'[ /=,]+' '/xmt\/rcv/ { x += $6; r += $7 } END { print x + 0, r + 0 }' <<<"$out")
  echo "$fsent $fans $(awk -v u="$fu" -v s="$fs" 'BEGIN { print u + s }') $frss"
}

# One engine run (datagram: in a private namespace): prints the bench line.
run_engine() {
  local n=$1 kind=$2
  local args=(--hosts="$n" --seconds="$SECONDS_PER_RUN" --delay=1000 --timeout=500 --size=56)
  if [ "$kind" = datagram ]; then
    limited unshare -n sh -c 'ip link set lo up &&
      sysctl -q -w net.ipv4.ping_group_range="0 2147483647" && exec "$@"' sh \
      "$BIN" "${args[@]}" --provider=datagram
  else
    limited "$BIN" "${args[@]}"
  fi
}

rows=()
row() {  # tool n answered create steady_per_k ref_per_k rss_kb delete_ms
  local tool=$1 n=$2 a=$3 create=$4 per=$5 ref=$6 rss=$7 del=$8
  rows+=("$(awk -v t="$tool" -v n="$n" -v a="$a" -v e=$((n * SECONDS_PER_RUN)) -v c="$create" \
    -v p="$per" -v f="$ref" -v r="$rss" -v d="$del" 'BEGIN {
      ratio = (f > 0 && t != "fping") ? sprintf("%.2f", p / f) : "-"
      printf "%-18s %5d %9d/%-7d %7.2f%% %9s %10.4f %6s %8.1f %8.1f %9s\n", t, n, a, e,
        100 * a / e, c, p, ratio, r / 1024, r / n, d
    }')")
}

kinds=(engine)
if [ "$(id -u)" -eq 0 ] && command -v unshare >/dev/null; then kinds+=(datagram); fi

all_kinds=("${kinds[@]}")
for n in "${COUNTS[@]}"; do
  kinds=()
  for kind in "${all_kinds[@]}"; do
    # The run without a namespace uses raw sockets here (as root).
    if [ "$kind" = datagram ] || [ "$n" -le "$RAW_MAX" ] || [ "$(id -u)" -ne 0 ]; then kinds+=("$kind"); fi
  done
  declare -A answered=() create=() per=() rss=() del=() label=()
  for ((r = 0; r < RUNS; r++)); do
    read -r fsent fans fcpu frss < <(run_fping "$n")
    answered[fping]+="$fans "
    per[fping]+="$(awk -v c="$fcpu" -v a="$fans" 'BEGIN { print (a > 0 ? c * 1000 / a : 0) }') "
    rss[fping]+="$frss "
    for kind in "${kinds[@]}"; do
      line=$(run_engine "$n" "$kind")
      label[$kind]="engine ($(field provider "$line" | sed 's/icmp-//'))"
      answered[$kind]+="$(field answered "$line") "
      create[$kind]+="$(field create_cpu "$line") "
      per[$kind]+="$(awk -v c="$(field steady_cpu "$line")" -v a="$(field steady_answered "$line")" \
        'BEGIN { print (a > 0 ? c * 1000 / a : 0) }') "
      rss[$kind]+="$(field rss_kb "$line") "
      del[$kind]+="$(field delete_ms "$line") "
    done
  done
  ref=$(median ${per[fping]})
  row fping "$n" "$(median ${answered[fping]})" - "$ref" 0 "$(median ${rss[fping]})" -
  for kind in "${kinds[@]}"; do
    row "${label[$kind]}" "$n" "$(median ${answered[$kind]})" "$(median ${create[$kind]})" \
      "$(median ${per[$kind]})" "$ref" "$(median ${rss[$kind]})" "$(median ${del[$kind]})"
  done
  unset answered create per rss del label
done

echo "medians of $RUNS runs of ${SECONDS_PER_RUN} s; soft open-file limit $NOFILE at the start of each run"
printf '%-18s %5s %17s %8s %9s %10s %6s %8s %8s %9s\n' tool N answered/expected of-exp \
  "create s" "steady/1k" ratio "RSS MB" "KB/host" "delete ms"
printf '%s\n' "${rows[@]}"

#!/usr/bin/env bash
# Output cost of the console mode: N loopback hosts (127.0.0.1, 127.0.0.2, ...)
# at one request per host every D ms for S seconds, once per output format,
# once with --quiet (the same run without a line per event: the engine's own
# cost), and fping -D -c on the same hosts for comparison. Every run is a
# fresh process in a private network namespace whose ping_group_range allows
# datagram ICMP sockets (so needs root); fping sends through its raw socket.
#
#   bench/console_output.sh                (N=1000, D=200, S=30)
#   OV_BENCH_HOSTS=1000 OV_BENCH_DELAY=200 OV_BENCH_SECONDS=30
#   OV_BENCH_RUNS=1        rounds of all five runs; the table shows medians
#   OV_BENCH_TAPPER=path   use this program instead of a Release build
#
# Columns: events = reply and loss lines written (fping: its reply lines;
# quiet: the requests its summary counts); CPU s = user + system seconds of
# the whole process; us/event = CPU per event in microseconds; output
# us/event = the format's CPU per event above the quiet run's; MB = bytes
# written. The machine's other load moves CPU figures by more than the
# output costs: run it on a quiet machine, with several rounds.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
N=${OV_BENCH_HOSTS:-1000}
DELAY=${OV_BENCH_DELAY:-200}
SECS=${OV_BENCH_SECONDS:-30}
RUNS=${OV_BENCH_RUNS:-1}

[ "$(id -u)" -eq 0 ] || { echo "needs root (network namespaces)" >&2; exit 1; }
OV_ROOT=$ROOT
source "$ROOT/scripts/setup.sh"
ov_ensure_packages "${OV_PACKAGES[@]}" fping time

source "$ROOT/bench/bench_lib.sh"
ov_bench_tapper

ov_bench_workdir
export OV_REGISTRY_DIR=$WORK/registry
mkdir -p "$OV_REGISTRY_DIR"

HOSTS=$(for ((i = 0; i < N; i++)); do printf '127.0.%d.%d ' $((i / 254)) $((i % 254 + 1)); done)

# Runs a command in a private namespace with loopback up and datagram ICMP
# allowed, stdout to $WORK/out; prints "cpu_seconds".
in_netns() {
  unshare -n sh -c 'ip link set lo up &&
    sysctl -q -w net.ipv4.ping_group_range="0 2147483647" &&
    exec /usr/bin/time -f "TIME %U %S" -o "$0.time" "$@" >"$0"' "$WORK/out" "$@" 2>/dev/null || true
  awk '/^TIME/ { print $2 + $3 }' "$WORK/out.time"
}

# Per run label: space-separated values of every round.
declare -A EVENTS=() CPU=() BYTES=()
run_tapper() {  # label, extra options...
  local label=$1 cpu events
  shift
  # SIGTERM ends the run as Ctrl+C does: the summaries still come.
  cpu=$(in_netns timeout -s TERM "$SECS" "$TAPPER" --console "--delay=$DELAY" "$@" $HOSTS)
  # Requests only (replies and losses), not the one "resolving" event per host.
  case "$label" in
    classic) events=$(($(grep -c '^\[' "$WORK/out" || true) - N)) ;;
    csv) events=$(grep -cE '^event,([^,]*,){3}(reply|lost),' "$WORK/out" || true) ;;
    json) events=$(grep -cE '"status":"(reply|lost)"' "$WORK/out" || true) ;;
    quiet) events=$(grep -o '"sent":[0-9]*' "$WORK/out" | awk -F: '{ s += $2 } END { print s + 0 }') ;;
  esac
  record "tapper $label" "$events" "$cpu"
}

record() {  # label events cpu
  EVENTS[$1]+="$2 "
  CPU[$1]+="$3 "
  BYTES[$1]+="$(stat -c %s "$WORK/out") "
}

# CPU microseconds per event of each round, then their median.
per_event() {
  paste <(tr ' ' '\n' <<<"${CPU[$1]}") <(tr ' ' '\n' <<<"${EVENTS[$1]}") |
    awk 'NF == 2 && $2 > 0 { print $1 * 1e6 / $2 }' | sort -g |
    awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : 0) }'
}
median() { tr ' ' '\n' <<<"$1" | awk 'NF' | sort -g | awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : 0) }'; }

count=$((SECS * 1000 / DELAY))
for ((round = 0; round < RUNS; round++)); do
  run_tapper quiet --format=json --quiet
  run_tapper classic
  run_tapper csv --format=csv
  run_tapper json --format=json
  cpu=$(in_netns timeout -s INT "$((SECS + 15))" fping -D -c "$count" -p "$DELAY" -i 0 -t 500 $HOSTS)
  record "fping -D -c" "$(grep -c ' bytes, ' "$WORK/out" || true)" "$cpu"
done

quiet=$(per_event "tapper quiet")
echo "$N hosts, one request per host every $DELAY ms, $SECS s per run, medians of $RUNS rounds ($(nproc) cores, $(date -u +%FT%TZ))"
printf '%-16s %9s %8s %9s %9s %8s\n' run events "CPU s" us/event "output us" MB
for label in "tapper quiet" "tapper classic" "tapper csv" "tapper json" "fping -D -c"; do
  awk -v t="$label" -v e="$(median "${EVENTS[$label]}")" -v c="$(median "${CPU[$label]}")" \
    -v p="$(per_event "$label")" -v q="$quiet" -v b="$(median "${BYTES[$label]}")" 'BEGIN {
    extra = (t ~ /quiet|fping/) ? "-" : sprintf("%.2f", p - q)
    printf "%-16s %9d %8.2f %9.2f %9s %8.1f\n", t, e, c, p, extra, b / 1048576
  }'
done

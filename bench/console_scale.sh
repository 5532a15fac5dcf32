#!/usr/bin/env bash
# The console mode at scale beside fping: N loopback hosts (127.0.0.1,
# 127.0.0.2, ..., from a hosts file) pinged once a second by
#   tapper --console --hosts-file=F --format=csv --quiet --delay=1000 --timeout=500 --size=56
# and by
#   fping -q -c C -p P -i I -t 500 -b 56 -f F
# (I = 1 ms below 1000 hosts, else 0; P = 1000 ms up to 6000 hosts, 2000 ms up
# to 12000: fping has 65535 sequence numbers, each kept for 10 s)
# one after the other (fping first) in each round, both started under a soft
# open-file limit of 1024 (tapper raises it to the hard limit at start), each
# in a private network namespace whose ping_group_range allows datagram ICMP
# sockets (tapper uses them; fping its raw socket). Needs root.
#
#   bench/console_scale.sh [N ...]          (default: 1000 5000 10000)
#   OV_BENCH_SECONDS=20   steady window per run
#   OV_BENCH_WARMUP=5     seconds before the window (every host started); also
#                         tapper's --summary-every, whose first "total" records
#                         give the replies before the window
#   OV_BENCH_RUNS=3       rounds; the table shows medians
#   OV_BENCH_NOFILE=1024  soft open-file limit each run starts under
#   OV_BENCH_TAPPER=path  use this program instead of a Release build
#
# Both processes are sampled from outside through /proc/PID: user+system time
# at the start and the end of the window, VmRSS at its end, VmHWM (peak) and
# the thread count. Columns: answered = replies of the whole run out of the
# requests sent; steady/1k = CPU seconds per 1000 answered echoes in the window
# (replies per second of the run, tapper's from its summaries after the
# warm-up, fping's from its whole run, times the window); ratio = tapper's steady/1k over
# fping's of the same round (the median of the rounds' ratios); others =
# processors kept busy by the rest of the machine during the window (all busy
# time less the measured process's); load = the one-minute load average when
# the round began (thousands of workers of the run before count in it too).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SECS=${OV_BENCH_SECONDS:-20}
WARM=${OV_BENCH_WARMUP:-5}
RUNS=${OV_BENCH_RUNS:-3}
NOFILE=${OV_BENCH_NOFILE:-1024}
COUNTS=("$@")
[ ${#COUNTS[@]} -gt 0 ] || COUNTS=(1000 5000 10000)

[ "$(id -u)" -eq 0 ] || { echo "needs root (network namespaces)" >&2; exit 1; }
OV_ROOT=$ROOT
source "$ROOT/scripts/setup.sh"
ov_ensure_packages "${OV_PACKAGES[@]}" fping

source "$ROOT/bench/bench_lib.sh"
ov_bench_tapper

ov_bench_workdir
export OV_REGISTRY_DIR=$WORK/registry
mkdir -p "$OV_REGISTRY_DIR"
TICK=$(getconf CLK_TCK)

now() { date +%s.%N; }
# User + system seconds of process $1.
cpu_of() { awk -v t="$TICK" '{ sub(/^.*\) /, ""); print ($12 + $13) / t }' "/proc/$1/stat"; }
# Busy seconds of all processors (everything but idle and I/O wait).
machine_busy() { awk -v t="$TICK" '$1 == "cpu" { print ($2 + $3 + $4 + $7 + $8 + $9) / t; exit }' /proc/stat; }
# Field $2 (VmRSS, VmHWM, Threads) of process $1's status, as a number.
status_of() { awk -v k="$2:" '$1 == k { print $2 }' "/proc/$1/status"; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : 0) }'; }

# Starts "$@" in a private namespace with loopback up and datagram ICMP
# allowed, under the soft open-file limit, output to $WORK/out and
# $WORK/err; sets PID (unshare, sh and bash exec into the command, so it is
# the command's own process).
start_in_netns() {
  : >"$WORK/out"
  : >"$WORK/err"
  unshare -n sh -c 'ip link set lo up &&
    sysctl -q -w net.ipv4.ping_group_range="0 2147483647" &&
    exec bash -c "ulimit -Sn $0 && exec \"\$@\"" bash "$@"' "$NOFILE" "$@" \
    >"$WORK/out" 2>"$WORK/err" &
  PID=$!
}

# Samples the running PID over the window: sets CPU0 T0 CPU1 T1 RSS HWM
# THREADS, and OTHERS: processors kept busy by the rest of the machine.
sample_window() {
  sleep "$WARM.5"
  CPU0=$(cpu_of "$PID") T0=$(now) B0=$(machine_busy)
  sleep "$SECS"
  CPU1=$(cpu_of "$PID") T1=$(now) B1=$(machine_busy)
  OTHERS=$(awk -v b0="$B0" -v b1="$B1" -v c0="$CPU0" -v c1="$CPU1" -v t0="$T0" -v t1="$T1" \
    'BEGIN { printf "%.2f", ((b1 - b0) - (c1 - c0)) / (t1 - t0) }')
  RSS=$(status_of "$PID" VmRSS) HWM=$(status_of "$PID" VmHWM) THREADS=$(status_of "$PID" Threads)
}

run_fping() {  # N hosts file; prints "answered sent per1k rss_kb hwm_kb threads"
  local n=$1 file=$2 interval=1 start stop
  [ "$n" -lt 1000 ] || interval=0
  # fping keeps a sequence number per request for 10 s and has 65535 of
  # them: above about 6000 hosts it pings each host every P seconds instead.
  local period=$(((n + 5999) / 6000 * 1000))
  start_in_netns fping -q -c "$(((WARM + SECS + 3) * 1000 / period + 1))" -p "$period" \
    -i "$interval" -t 500 -b 56 -f "$file"
  start=$(now)
  sample_window
  kill -INT "$PID" 2>/dev/null || true
  stop=$(now)
  wait "$PID" || true
  local sent answered
  read -r sent answered < <(awk -F'[ /=,]+' '/xmt\/rcv/ { x += $6; r += $7 } END { print x + 0, r + 0 }' "$WORK/err")
  awk -v s="$sent" -v a="$answered" -v c0="$CPU0" -v c1="$CPU1" -v t0="$T0" -v t1="$T1" \
    -v start="$start" -v stop="$stop" -v rss="$RSS" -v hwm="$HWM" -v th="$THREADS" -v o="$OTHERS" 'BEGIN {
      # Its replies per second over the run (it starts sending at once).
      echoes = a / (stop - start) * (t1 - t0)
      printf "%d %d %.5f %d %d %d %s\n", a, s, (echoes > 0 ? (c1 - c0) * 1000 / echoes : 0), rss, hwm, th, o
    }'
}

run_tapper() {  # N hosts file; prints "answered sent per1k rss_kb hwm_kb threads"
  local n=$1 file=$2
  start_in_netns "$TAPPER" --console "--hosts-file=$file" --format=csv --quiet --delay=1000 \
    --timeout=500 --size=56 "--summary-every=$WARM"
  local start
  start=$(now)
  sample_window
  kill -TERM "$PID" 2>/dev/null || true
  local stop
  stop=$(now)
  wait "$PID" || true
  # Replies before the window: the first N "total" records (at WARM s);
  # replies of the whole run: the closing "summary" records.
  awk -F, -v n="$n" -v warm="$WARM" -v start="$start" -v stop="$stop" -v c0="$CPU0" -v c1="$CPU1" \
    -v t0="$T0" -v t1="$T1" -v rss="$RSS" -v hwm="$HWM" -v th="$THREADS" -v o="$OTHERS" '
    $1 == "total" && totals < n { totals++; early += $10 }
    $1 == "summary" { sent += $9; answered += $10 }
    END {
      # Replies per second from the first summary to the stop, over the window.
      rate = (answered - early) / (stop - (start + warm))
      echoes = rate * (t1 - t0)
      printf "%d %d %.5f %d %d %d %s\n", answered, sent, (echoes > 0 ? (c1 - c0) * 1000 / echoes : 0),
        rss, hwm, th, o
    }' "$WORK/out"
}

echo "# $(nproc) cores, $(date -u +%FT%TZ), soft open-file limit $NOFILE (hard $(ulimit -Hn)), window $SECS s after $WARM s, $RUNS rounds"
printf '%-7s %6s %12s %8s %10s %7s %8s %8s %7s %6s %s\n' tool N answered of-sent steady/1k ratio \
  "RSS MB" "peak MB" threads "others load"
for n in "${COUNTS[@]}"; do
  file=$WORK/hosts-$n
  for ((i = 0; i < n; i++)); do printf '127.%d.%d.%d\n' $((i / 64516)) $((i / 254 % 254)) $((i % 254 + 1)); done >"$file"
  declare -A A=() S=() P=() R=() H=() T=() O=()
  ratios=() loads=()
  for ((r = 0; r < RUNS; r++)); do
    loads+=("$(cut -d' ' -f1 /proc/loadavg)")
    read -r A[f$r] S[f$r] P[f$r] R[f$r] H[f$r] T[f$r] O[f$r] < <(run_fping "$n" "$file")
    read -r A[t$r] S[t$r] P[t$r] R[t$r] H[t$r] T[t$r] O[t$r] < <(run_tapper "$n" "$file")
    ratios+=("$(awk -v t="${P[t$r]}" -v f="${P[f$r]}" 'BEGIN { print (f > 0 ? t / f : 0) }')")
    echo "#  round $((r + 1)) N=$n: fping ${P[f$r]} s/1k, tapper ${P[t$r]} s/1k (x${ratios[-1]}), tapper answered ${A[t$r]}/${S[t$r]}, others ${O[f$r]}/${O[t$r]} cores, load ${loads[-1]}" >&2
  done
  for tool in f t; do
    vals() { local k=$1 out=() i; for ((i = 0; i < RUNS; i++)); do eval "out+=(\"\${$k[$tool$i]}\")"; done; median "${out[@]}"; }
    name=fping ratio=-
    [ "$tool" = t ] && name=tapper ratio=$(median "${ratios[@]}")
    awk -v t="$name" -v n="$n" -v a="$(vals A)" -v s="$(vals S)" -v p="$(vals P)" -v q="$ratio" \
      -v r="$(vals R)" -v h="$(vals H)" -v th="$(vals T)" -v o="$(vals O)" -v l="$(median "${loads[@]}")" 'BEGIN {
      printf "%-7s %6d %12s %7.2f%% %10.4f %7s %8.1f %8.1f %7d %6.2f %s\n", t, n, a "/" s,
        (s > 0 ? 100 * a / s : 0), p, (q == "-" ? "-" : sprintf("%.2f", q)), r / 1024, h / 1024, th, o, l
    }'
  done
  unset A S P R H T O
done

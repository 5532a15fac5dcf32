#!/usr/bin/env bash
# The probe's exposition and scrapes while it pings N loopback hosts
# (127.0.0.1, 127.0.0.2, ...) once a second: size of /metrics as text and as
# gzip (what Prometheus asks for), and how long a scrape takes, each way.
# Three runs of the probe (OV_BENCH_RUNS), five scrapes a second apart in
# each once every host has replied; the table shows the median of the runs'
# medians and the load average of the machine at the end.
#
#   bench/probe_scrape.sh [N]          (default 5000)
#   OV_BENCH_TAPPER=path  use this program instead of building a Release one
#   OV_BENCH_NOFILE=1024  soft limit on open files the probe starts under
#
# As root the probe runs in a network namespace of its own whose
# net.ipv4.ping_group_range allows ICMP datagram sockets, as a service's
# would; otherwise in the machine's, with whatever provider it gets.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
N=${1:-5000}
RUNS=${OV_BENCH_RUNS:-3}
NOFILE=${OV_BENCH_NOFILE:-1024}

source "$ROOT/bench/bench_lib.sh"
ov_bench_tapper
command -v curl >/dev/null || { echo "curl is needed" >&2; exit 1; }

ov_bench_workdir
python3 - "$N" >"$WORK/hosts" <<'PY'
import sys
n = int(sys.argv[1])
for i in range(n):
    print("127.%d.%d.%d" % ((i + 1) >> 16 & 255, (i + 1) >> 8 & 255, (i + 1) & 255))
PY

# One run, in the namespace when root: prints "text gzip text_ms gzip_ms rss_kb"
# (the probe's resident memory after the scrapes).
cat >"$WORK/run.sh" <<'RUN'
set -euo pipefail
TAPPER=$1; HOSTS=$2; N=$3; NOFILE=$4; WORK=$5
if [ "$(id -u)" -eq 0 ]; then
  ip link set lo up
  sysctl -qw net.ipv4.ping_group_range="0 2147483647"
fi
PORT=19374
ulimit -Sn "$NOFILE"
OV_REGISTRY_DIR=$WORK "$TAPPER" --console --quiet --delay=1000 --timeout=500 \
  --metrics=127.0.0.1:$PORT --hosts-file="$HOSTS" >/dev/null 2>"$WORK/err" &
PID=$!
trap 'kill -TERM $PID 2>/dev/null; wait $PID 2>/dev/null || true' EXIT
URL=http://127.0.0.1:$PORT/metrics
# Until every host has replied at least twice.
for _ in $(seq 300); do
  sleep 1
  ready=$(curl -s "$URL" | awk '/^tapper_replies_total/ && $NF >= 2 {n++} END {print n+0}')
  [ "$ready" -ge "$N" ] && break
done
[ "$ready" -ge "$N" ] || { echo "only $ready of $N hosts replied" >&2; cat "$WORK/err" >&2; exit 1; }
texts=(); gzips=(); text_ms=(); gzip_ms=()
for _ in 1 2 3 4 5; do
  sleep 1
  read -r size secs < <(curl -s -o /dev/null -w '%{size_download} %{time_total}\n' "$URL")
  texts+=("$size"); text_ms+=("$(awk -v s="$secs" 'BEGIN {printf "%.1f", s * 1000}')")
  read -r size secs < <(curl -s -o /dev/null -H 'Accept-Encoding: gzip' -w '%{size_download} %{time_total}\n' "$URL")
  gzips+=("$size"); gzip_ms+=("$(awk -v s="$secs" 'BEGIN {printf "%.1f", s * 1000}')")
done
median() { printf '%s\n' "$@" | sort -n | sed -n "$(( ($# + 1) / 2 ))p"; }
rss=$(awk '/^VmRSS/ {print $2}' "/proc/$PID/status")
echo "$(median "${texts[@]}") $(median "${gzips[@]}") $(median "${text_ms[@]}") $(median "${gzip_ms[@]}") $rss"
RUN

results=()
for run in $(seq "$RUNS"); do
  if [ "$(id -u)" -eq 0 ]; then
    line=$(unshare --net bash "$WORK/run.sh" "$TAPPER" "$WORK/hosts" "$N" "$NOFILE" "$WORK")
  else
    line=$(bash "$WORK/run.sh" "$TAPPER" "$WORK/hosts" "$N" "$NOFILE" "$WORK")
  fi
  echo "run $run: text bytes, gzip bytes, text ms, gzip ms, RSS kB: $line" >&2
  results+=("$line")
done
col() { printf '%s\n' "${results[@]}" | awk -v c="$1" '{print $c}' | sort -n | sed -n "$(( (${#results[@]} + 1) / 2 ))p"; }
printf '| hosts | /metrics text | gzip | scrape, text | scrape, gzip | RSS | load average (1, 5, 15 min) |\n'
printf '|---|---|---|---|---|---|---|\n'
printf '| %s | %.2f MB | %.2f MB | %s ms | %s ms | %.0f MB | %s |\n' "$N" \
  "$(awk -v b="$(col 1)" 'BEGIN {print b / 1e6}')" "$(awk -v b="$(col 2)" 'BEGIN {print b / 1e6}')" \
  "$(col 3)" "$(col 4)" "$(awk -v k="$(col 5)" 'BEGIN {print k / 1024}')" "$(cut -d' ' -f1-3 /proc/loadavg)"

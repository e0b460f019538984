#!/usr/bin/env bash
# Line counting of a page over HTTP: the watcher's count (CountPageLines)
# and the stream path (open the "http::" URL, ReadLine until Eof, close)
# against `curl -s URL | wc -l`, on the same loopback server in the same run,
# natively and under Wine. Prints one line per page size, path and platform
# with both times (best of N) and the ratio.
#
#   bench/net-bench.sh [native-bin-dir] [win64-bin-dir] [repeats]
#
# Defaults: build/linux/bin and build/win64/bin (build them first), 5 repeats.
# A missing Windows build skips the Wine rows.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native=${1:-$root/build/linux/bin}
win=${2:-$root/build/win64/bin}
repeats=${3:-5}
ip=127.0.44.1
port=80

[[ -x $native/net_bench ]] || { echo "net-bench: $native/net_bench not built" >&2; exit 1; }
command -v curl >/dev/null || { echo "net-bench: curl not installed" >&2; exit 1; }

"$native/net_bench" serve $ip $port > /tmp/net-bench-server.$$ 2>&1 &
server=$!
trap 'curl -s "http://$ip:$port/quit" >/dev/null 2>&1 || true; kill $server 2>/dev/null || true; rm -f /tmp/net-bench-server.$$' EXIT
for _ in $(seq 100); do grep -q ready /tmp/net-bench-server.$$ 2>/dev/null && break; sleep 0.05; done
grep -q ready /tmp/net-bench-server.$$ || { cat /tmp/net-bench-server.$$ >&2; exit 1; }

# Best wall time of `curl | wc -l` in ms, and its line count.
curl_best() {
  local url=$1 best= lines t0 t1 ms
  for _ in $(seq "$repeats"); do
    t0=$(date +%s%N)
    lines=$(curl -s "$url" | wc -l)
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000 ))
    [[ -z $best || $ms -lt $best ]] && best=$ms
  done
  printf '%s %s\n' "$lines" "$(awk -v us="$best" 'BEGIN { printf "%.2f", us / 1000 }')"
}

row() {  # label size framework-output curl-lines curl-ms
  local fw_lines fw_ms
  fw_lines=$(sed -n 's/.*lines=\([0-9]*\).*/\1/p' <<<"$3")
  fw_ms=$(sed -n 's/.*best_ms=\([0-9.]*\).*/\1/p' <<<"$3")
  [[ -n $fw_ms ]] || { echo "$1 $2: framework run failed: $3"; return; }
  awk -v p="$1" -v s="$2" -v f="$fw_ms" -v c="$5" -v fl="$fw_lines" -v cl="$4" 'BEGIN {
    printf "%-16s %-4s framework %8.2f ms  curl|wc -l %8.2f ms  ratio %5.2f  lines %s%s\n",
      p, s, f, c, f / c, fl, (fl == cl ? "" : "  (curl counted " cl ")") }'
}

have_wine=
[[ -f $win/net_bench.exe ]] && have_wine=1
for size in 100k 1m 10m; do
  url=http://$ip/$size
  read -r c_lines c_ms < <(curl_best "$url")
  for mode in count readlines; do
    row "native $mode" "$size" "$("$native/net_bench" $mode "http::$ip/$size" "$repeats")" "$c_lines" "$c_ms"
    if [[ -n $have_wine ]]; then
      row "wine $mode" "$size" "$("$root/tools/wine-run.sh" "$win/net_bench.exe" $mode "http::$ip/$size" "$repeats" 2>&1 | tr -d '\r')" "$c_lines" "$c_ms"
    fi
  done
done

#!/usr/bin/env bash
# Reads a page from an independent HTTP server (Python's http.server) on a
# loopback address through the framework's "http::" stream, by running the
# HttpThirdParty test case of the network test executable against it.
#
#   third-party-http.sh <net_tests executable> [runner]
#
# The runner (tools/wine-run.sh for the Windows build) is put in front of the
# executable when given.
set -euo pipefail

exe=$1
runner=${2-}
ip=127.0.43.200
work=$(mktemp -d)
server=
cleanup() {
  if [[ -n $server ]]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

{
  echo "first line of the page"
  for i in $(seq 1 2999); do printf 'line %d %s\r\n' "$i" "$(printf '%*s' $((i % 97)) '' | tr ' ' x)"; done
} > "$work/page.txt"
lines=$(wc -l < "$work/page.txt")

python3 -m http.server --bind $ip 80 --directory "$work" > "$work/server.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  curl -s -o /dev/null "http://$ip/page.txt" && break
  sleep 0.1
done

xml=${VW_TEST_XML:-$work/result.xml}
[[ -n $runner ]] && xml_arg="Z:$xml" || xml_arg=$xml
export VW_THIRD_PARTY_HTTP=$ip/page.txt VW_THIRD_PARTY_LINES=$lines
status=0
${runner:+"$runner"} "$exe" --gtest_filter='HttpThirdParty.*' --gtest_output="xml:$xml_arg" || status=$?
exit $status

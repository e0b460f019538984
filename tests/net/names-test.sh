#!/usr/bin/env bash
# Runs the name and address tests (NamesTest.cpp) with host names of their
# own and a resolver that never answers: in a mount namespace of its own,
# /etc/hosts and /etc/resolv.conf are replaced for the test process only
# (the test listens, silently, on the name server's 127.0.45.53:53 itself).
# Needs root, as the tests on port 80 do.
#
#   names-test.sh <net_names_tests executable> [runner]
set -euo pipefail

exe=$1
runner=${2-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/hosts" <<'HOSTS'
127.0.0.1 localhost
127.0.45.1 slow-first.test
127.0.45.2 slow-first.test
127.0.45.3 refused-first.test
127.0.45.6 refused-first.test
127.0.45.7 dual.test
::1 dual.test
127.0.45.4 dropped.test
127.0.45.5 dropped.test
HOSTS
printf 'nameserver 127.0.45.53\noptions timeout:2 attempts:1\n' > "$work/resolv.conf"

xml=${VW_TEST_XML:-$work/result.xml}
[[ -n $runner ]] && xml_arg="Z:$xml" || xml_arg=$xml
export VW_NAMES_TEST=1
exec unshare -m bash -c 'mount --bind "$1/hosts" /etc/hosts && mount --bind "$1/resolv.conf" /etc/resolv.conf && shift && exec "$@"' \
  -- "$work" ${runner:+"$runner"} "$exe" --gtest_output="xml:$xml_arg"

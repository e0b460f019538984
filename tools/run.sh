#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine: on the user's display,
# or on a virtual one (Xvfb with openbox) when $DISPLAY is empty. Returns
# when the program exits, with its exit status.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
source tools/lib.sh
logs=$root/build/logs

trap vw_stop_display EXIT
trap 'exit 130' INT TERM

vw_step "tools/setup.sh" "$logs/setup.log" bash tools/setup.sh || exit 1
vw_step "configure win64" "$logs/win64-configure.log" cmake --preset win64 || exit 1
vw_step "build win64" "$logs/win64-build.log" cmake --build --preset win64 --target VostleWatch || exit 1
vw_start_display || exit 1
vw_step "wine prefix" "$logs/wine-prefix.log" tools/wine-run.sh --init || exit 1

echo "Starting VostleWatch on display $DISPLAY"
tools/wine-run.sh "$root/build/win64/bin/VostleWatch.exe" "$@"

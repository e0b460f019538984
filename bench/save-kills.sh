#!/usr/bin/env bash
# The kill test of the list's saving, long: save_loop killed at random
# moments thousands of times natively and hundreds of times under Wine
# (tools/kill_saves.py), first with a save that writes in place (to show
# the kills land inside writes), then with the program's own save. Prints
# kills, saves, lists lost and files left beside the list for each.
#
#   bench/save-kills.sh [native-kills] [wine-kills]
#
# Needs save_loop of the linux and win64 presets (build them first); a
# missing Windows build skips the Wine rows.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
native_kills=${1:-3000}
wine_kills=${2:-400}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "== native, $native_kills kills"
python3 "$root/tools/kill_saves.py" --test --program "$root/build/linux/bin/save_loop" \
  --kills "$native_kills" --work "$work"
if [[ -f $root/build/win64/bin/save_loop.exe ]]; then
  echo "== Wine, $wine_kills kills"
  "$root/tools/wine-run.sh" --persist
  python3 "$root/tools/kill_saves.py" --test --program "$root/build/win64/bin/save_loop.exe" \
    --wine "$root/tools/wine-run.sh" --kills "$wine_kills" --work "$work"
fi

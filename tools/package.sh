#!/usr/bin/env bash
# Makes the Windows packages: for each preset (default: win64 win32) the
# installer dist/VostleWatch-<version>-<preset>-setup.exe and the portable
# dist/VostleWatch-<version>-<preset>-portable.zip, with CPack (NSIS, ZIP).
# Builds what it needs first. Exits non-zero when any package is missing.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
source tools/lib.sh
logs=$root/build/logs
presets=("$@")
((${#presets[@]})) || presets=(win64 win32)

vw_step "tools/setup.sh" "$logs/setup.log" bash tools/setup.sh || exit 1
mkdir -p dist
status=0
for preset in "${presets[@]}"; do
  out=$root/build/$preset/packages
  # Old packages of another version must not be taken for this one's.
  rm -rf "$out"
  if vw_step "configure $preset" "$logs/$preset-configure.log" cmake --preset "$preset" &&
     vw_step "build $preset program" "$logs/$preset-program.log" \
       cmake --build --preset "$preset" --target VostleWatch &&
     vw_step "package $preset" "$logs/$preset-package.log" \
       cpack --config "build/$preset/CPackConfig.cmake" -B "$out"; then
    for f in "$out"/VostleWatch-*-"$preset"-setup.exe "$out"/VostleWatch-*-"$preset"-portable.zip; do
      [[ -f $f ]] || { echo "  FAIL  no $(basename "$f") made"; status=1; continue; }
      cp "$f" dist/
      echo "        dist/$(basename "$f")"
    done
  else
    status=1
  fi
done
exit "$status"

#!/usr/bin/env bash
# Builds every preset and runs every test: natively (linux, linux-asan), the
# thread tests under ThreadSanitizer (linux-tsan, which builds only those)
# and the Windows build under Wine (win64). win32 is built only: the build
# machines cannot run 32-bit code. The Windows packages are made too
# (tools/package.sh, into dist/). Ends with one line "N passed, N failed"
# counting individual test cases, and a non-zero exit on any failure.
set -uo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")/.."
root=$PWD
source tools/lib.sh

logs=$root/build/logs
# A Wine prefix of this checkout's own: the run stops every Wine process in
# its prefix at the end, which must not hit programs started elsewhere.
export VW_WINEPREFIX="${VW_WINEPREFIX:-$root/build/wineprefix}"
mkdir -p "$logs"
step_failures=0
wine_persisting=

cleanup() {
  if [[ -n $wine_persisting ]]; then
    tools/wine-run.sh --kill
    wine_persisting=
  fi
  vw_stop_display
}
trap cleanup EXIT
trap 'exit 130' INT TERM

finish() {
  echo "$1 passed, $2 failed"
  [[ $2 -eq 0 ]]
  exit
}

echo "== set-up"
if ! vw_step "tools/setup.sh" "$logs/setup.log" bash tools/setup.sh; then
  finish 0 1
fi

echo "== build"
built=()
for preset in linux linux-asan linux-tsan win64 win32; do
  if vw_step "configure $preset" "$logs/$preset-configure.log" cmake --preset "$preset" &&
     vw_step "build $preset" "$logs/$preset-build.log" cmake --build --preset "$preset"; then
    built+=("$preset")
  else
    step_failures=$((step_failures + 1))
  fi
done

is_built() {
  local p
  for p in "${built[@]}"; do [[ $p == "$1" ]] && return 0; done
  return 1
}

# The Windows packages (installer and portable zip, win64 and win32) from
# the trees just built, so a bare machine proves they can be made.
echo "== package"
if is_built win64 && is_built win32; then
  vw_step "tools/package.sh" "$logs/package.log" bash tools/package.sh ||
    step_failures=$((step_failures + 1))
fi

results=()
run_ctest() {
  local preset=$1 dir=$root/build/$1
  echo "== test $preset"
  # Old result files would be counted again; start each run clean.
  rm -rf "$dir/test-results"
  mkdir -p "$dir/test-results"
  rm -f "$dir/ctest-junit.xml"
  # The test preset holds the settings (jobs, output, the thread tests'
  # label for linux-tsan).
  ctest --preset "$preset" --output-junit "$dir/ctest-junit.xml" 2>&1 \
    | grep -v -e '^Internal ctest changing into directory' -e '^Test project '
  results+=("$dir/ctest-junit.xml:$dir/test-results")
}

for preset in linux linux-asan; do
  is_built "$preset" && run_ctest "$preset"
done
is_built linux-tsan && run_ctest linux-tsan

if is_built win64; then
  if ! vw_start_display; then
    step_failures=$((step_failures + 1))
  elif ! vw_step "wine prefix" "$logs/wine-prefix.log" tools/wine-run.sh --init; then
    step_failures=$((step_failures + 1))
  else
    # One server for the whole run, so each test skips Wine's start-up.
    tools/wine-run.sh --persist
    wine_persisting=1
    run_ctest win64
    tools/wine-run.sh --kill
    wine_persisting=
  fi
fi

echo "== summary"
read -r passed failed skipped < <(/usr/bin/python3 tools/count-results.py "${results[@]}" || echo "0 1 0")
failed=$((failed + step_failures))
if ((skipped)); then
  echo "($skipped skipped)"
fi
finish "$passed" "$failed"

#!/usr/bin/env bash
# Builds and runs one of the stream fuzz harnesses (libFuzzer, clang, with
# AddressSanitizer and UndefinedBehaviorSanitizer) for a given time.
#
#   tools/fuzz.sh <name> <seconds> [extra libFuzzer flags...]
#   tools/fuzz.sh --list
#
# Names: line_reader, text_decoders, paths, http_response, http_gzip, location, browser_address. Builds into build/fuzz/, keeps
# the corpus in build/fuzz/corpus-<name>/ and prints libFuzzer's summary;
# the exit status is non-zero when the fuzzer found a crash.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/fuzz
harnesses=(line_reader text_decoders paths http_response http_gzip location browser_address)

if [[ ${1-} == --list ]]; then printf '%s\n' "${harnesses[@]}"; exit 0; fi
name=${1:?usage: tools/fuzz.sh <name> <seconds>}
seconds=${2:?usage: tools/fuzz.sh <name> <seconds>}
shift 2
[[ " ${harnesses[*]} " == *" $name "* ]] || { echo "fuzz: unknown harness $name (${harnesses[*]})" >&2; exit 2; }

cxx=${CXX_FUZZ:-clang++-14}
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -I"$root/src" -I"$root/fuzz")
# The shared socket code finds the system's declarations in the folder of
# the platform, as the CMake build gives it to vw_platform alone.
platform_flags=(-I"$root/src/platform/posix")
mkdir -p "$out/obj" "$out/corpus-$name"

# The library sources the harnesses need, compiled once per change.
objs=()
for src in "$root"/src/runtime/*.cpp "$root"/src/platform/*.cpp "$root"/src/platform/posix/*.cpp \
           "$root"/src/stream/*.cpp "$root"/src/net/*.cpp "$root"/src/app/WebAddress.cpp; do
  obj=$out/obj/$(basename "$(dirname "$src")")_$(basename "${src%.cpp}").o
  if [[ ! -f $obj || $src -nt $obj ]]; then
    "$cxx" "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" "${platform_flags[@]}" -c "$src" -o "$obj"
  fi
  objs+=("$obj")
done
"$cxx" "${flags[@]}" "$root/fuzz/fuzz_$name.cpp" "${objs[@]}" -lssl -lcrypto -lz -lpthread -o "$out/fuzz_$name"

cd "$out"
exec "./fuzz_$name" -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=2048 \
  -print_final_stats=1 "$@" "corpus-$name"

#!/usr/bin/env bash
# Installs everything the build, the tests and the run command need on a
# Debian 12 machine. Safe to run again: when all packages are present it only
# asks dpkg and returns.
set -euo pipefail

packages=(
  cmake ninja-build make gcc g++ git ccache python3
  gcc-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  wine64
  xvfb xdotool openbox x11-utils imagemagick
  googletest
  curl clang libclang-rt-14-dev unicode-data
  # Packaging: the installer is built by CPack with NSIS.
  nsis
  # TLS: OpenSSL natively, the test CA made with python3-cryptography;
  # Wine's Schannel runs on GnuTLS, which wine64 only recommends.
  libssl-dev openssl ca-certificates python3-cryptography
  libgnutls30
  # Compressed pages: zlib, natively and linked statically into the .exe.
  zlib1g-dev libz-mingw-w64-dev
  util-linux procps
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ $status == "install ok installed" ]] || missing+=("$p")
done

if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "setup: missing packages (${missing[*]}); run this script as root" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

# The Windows build relies on the posix thread model (std::thread, gtest).
for cc in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix; do
  command -v "$cc" >/dev/null || { echo "setup: $cc not found" >&2; exit 1; }
done
[[ -x /usr/lib/wine/wine64 ]] || { echo "setup: /usr/lib/wine/wine64 not found" >&2; exit 1; }
[[ -f /usr/src/googletest/CMakeLists.txt ]] || { echo "setup: googletest sources not found" >&2; exit 1; }

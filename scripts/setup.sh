#!/usr/bin/env bash
# Installs what the build needs (Debian packages) and builds into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang and its run-time libraries (14 on Debian 12) build the sanitizer and fuzzing
# build of scripts/test.sh; python3's XML parser checks the report's page; dpkg-dev
# (dpkg-shlibdeps) builds the Debian package; groff, man and mandoc check the manual pages.
need=()
for pkg in cmake g++ make libgtest-dev libgmock-dev tmux clang libclang-rt-14-dev python3 \
  dpkg-dev groff-base man-db mandoc; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || need+=("$pkg")
done
if ((${#need[@]})); then
  echo "Installing: ${need[*]}" >&2
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq >&2
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${need[@]}" >&2
fi

# Release: the build type whose optimiser warns about the most (warnings are errors).
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j"$(nproc)" >&2

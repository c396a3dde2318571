#!/usr/bin/env bash
# Builds everything and runs every test, in the usual build (./build) and in a Release
# build (./build-release), whose optimiser sees what the others don't; exits non-zero
# when a build or any test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-release -j"$(nproc)" >&2
ctest --test-dir build --output-on-failure -j"$(nproc)"
ctest --test-dir build-release --output-on-failure -j"$(nproc)"

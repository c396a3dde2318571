#!/usr/bin/env bash
# Builds the console and starts it; without arguments against the built-in simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
if (($#)); then exec ./build/pxn32 "$@"; else exec ./build/pxn32 --sim; fi

#!/usr/bin/env bash
# Builds the console and starts it: against the built-in simulated store unless a
# device is named (--device PATH); other options are passed on as they are.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
for arg in "$@"; do
  case "$arg" in
    --device | --device=* | --sim) exec ./build/pxn32 "$@" ;;
  esac
done
exec ./build/pxn32 --sim "$@"

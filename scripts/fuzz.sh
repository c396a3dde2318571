#!/usr/bin/env bash
# Runs every fuzz target of a FUZZ build (clang, libFuzzer, address and undefined-behaviour
# sanitizers) for a while from its seed corpus, two at a time, and exits non-zero when
# any of them finds a crash, a leak, a time-out, a sanitizer report or runs out of memory.
#
#   bash scripts/fuzz.sh [BUILD_DIR [SECONDS]]      (default build-sanitize, 30 s each)
#
# New inputs go to a scratch folder, never into fuzz/corpus; the folder is removed when
# all went well and kept (its path printed) when something was found. Prints a line per
# target: the seconds it ran and the inputs it executed.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-sanitize}
seconds=${2:-30}
jobs=2

targets=()
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  [ -x "$build/fuzz/fuzz_$target" ] || { echo "fuzz: $build/fuzz/fuzz_$target is missing (a FUZZ build?)" >&2; exit 1; }
  targets+=("$target")
done

scratch=$(mktemp -d /tmp/pxn32-fuzz.XXXXXX)
# Reports go to each target's log; one that recovers still fails the run.
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:exitcode=86
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86

# One target: its new inputs in scratch/<target>/new, a finding in scratch/<target>/,
# libFuzzer's output in scratch/<target>.log and its exit status in scratch/<target>.rc.
run_one() {
  local target=$1 dir=$scratch/$1
  mkdir -p "$dir/new"
  local start rc=0
  start=$(date +%s%N)
  "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$dir/" "$dir/new" "fuzz/corpus/$target" \
    >"$scratch/$target.log" 2>&1 || rc=$?
  echo "$rc $((($(date +%s%N) - start) / 1000000))" >"$scratch/$target.rc"
}

running=0
for target in "${targets[@]}"; do
  if ((running == jobs)); then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$target" &
  running=$((running + 1))
done
wait || true

# A figure of libFuzzer's final stats ("stat::NAME: value") from a log.
final_stat() { sed -n "s/^stat::$2: *//p" "$1" | tail -1; }

failed=()
for target in "${targets[@]}"; do
  read -r rc millis <"$scratch/$target.rc"
  log=$scratch/$target.log
  found=$(ls "$scratch/$target" | grep -v '^new$' || true)
  if [ "$rc" != 0 ] || [ -n "$found" ] ||
    grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|SUMMARY: ' "$log"; then
    failed+=("$target")
  fi
  printf 'fuzz_%-15s %3d.%d s %10s executions %6s new inputs %5s MB  %s\n' "$target" \
    $((millis / 1000)) $((millis % 1000 / 100)) "$(final_stat "$log" number_of_executed_units)" \
    "$(final_stat "$log" new_units_added)" "$(final_stat "$log" peak_rss_mb)" "$([ "$rc" = 0 ] && echo ok || echo "FAILED (exit $rc)")"
done

if ((${#failed[@]})); then
  for target in "${failed[@]}"; do
    echo "---- fuzz_$target: the end of its log ($scratch/$target.log)" >&2
    tail -n 60 "$scratch/$target.log" >&2
  done
  echo "fuzz: ${#failed[@]} of ${#targets[@]} targets failed; inputs and logs in $scratch" >&2
  exit 1
fi
rm -rf "$scratch"
echo "fuzz: ${#targets[@]} targets, ${seconds} s each, nothing found"

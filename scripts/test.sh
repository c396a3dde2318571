#!/usr/bin/env bash
# Builds everything and runs every test: in the usual build (./build, a Release build with
# warnings as errors, whose optimiser sees the most); and in a clang build with the
# address and undefined-behaviour sanitizers and libFuzzer (./build-sanitize), where any
# sanitizer report, also from the programs the end-to-end tests start, fails the run,
# and which then runs every fuzzer for 20 s (scripts/fuzz.sh). On the way it lints the
# manual pages and checks the Debian package of the Release build. Exits non-zero when a
# build, a page, the package or any test fails, a sanitizer reports or a fuzzer finds
# anything; prints the time of each stage at the end.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

times=()
# Processor time (user and system) of this script's finished children so far, in
# hundredths of a second.
cpu_hundredths() {
  local ticks
  ticks=$(awk '{print $16 + $17}' /proc/$$/stat)  # cutime and cstime, in clock ticks
  echo $((ticks * 100 / $(getconf CLK_TCK)))
}
# Runs a stage and notes how long it took, and how much processor time (on a machine
# of its own, a build stage's wall time is about half of it on 2 cores).
stage() {
  local name=$1 start=$SECONDS cpu
  cpu=$(cpu_hundredths)
  shift
  echo "== $name" >&2
  "$@"
  times+=("$(printf '%-34s %4d s   processor %5d s' "$name" $((SECONDS - start)) \
    $((($(cpu_hundredths) - cpu) / 100)))")
}

# Every manual page formats without a single warning: through man, as a reader sees it,
# through groff at its strictest, and through mandoc's lint.
lint_man_pages() {
  local page said status=0
  for page in man/*.1; do
    said=$({
      MANWIDTH=80 man --warnings -l "$page" >/dev/null
      groff -man -ww -z "$page"
      mandoc -T lint "$page"
    } 2>&1) || true
    if [ -n "$said" ]; then
      echo "$page:" >&2
      echo "$said" >&2
      status=1
    fi
  done
  return "$status"
}

# The Debian package of the Release build holds the three programs, their gzipped manual
# pages, the README and the copyright where Debian looks for them.
check_package() {
  local deb listing path missing=()
  rm -f build/pxn32_*.deb
  (cd build && cpack -G DEB >/dev/null)
  deb=$(echo build/pxn32_*_"$(dpkg --print-architecture)".deb)
  [ -f "$deb" ] || { echo "no package in build/" >&2; return 1; }
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for path in /usr/bin/pxn32 /usr/bin/plcsim /usr/bin/pxn32-report \
    /usr/share/man/man1/pxn32.1.gz /usr/share/man/man1/plcsim.1.gz \
    /usr/share/man/man1/pxn32-report.1.gz /usr/share/doc/pxn32/README.md \
    /usr/share/doc/pxn32/copyright; do
    grep -qxF ".$path" <<<"$listing" || missing+=("$path")
  done
  if ((${#missing[@]})); then
    echo "$deb lacks ${missing[*]}" >&2
    return 1
  fi
  echo "$deb: every program, page and document in place" >&2
}

sanitized_suite() {
  # Every sanitized process, the test programs and the pxn32 and plcsim they start (some
  # as another user), writes its report into this folder; it must stay empty. A report
  # also ends the process with code 86, which no program here uses.
  local reports status=0
  reports=$(mktemp -d /tmp/pxn32-sanitize.XXXXXX)
  chmod 1777 "$reports"
  ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:exitcode=86:log_path=$reports/report \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86:log_path=$reports/report \
    ctest --test-dir build-sanitize --output-on-failure -j"$jobs" || status=$?
  if [ -n "$(ls -A "$reports")" ]; then
    echo "Sanitizer reports (in $reports):" >&2
    for report in "$reports"/*; do
      echo "---- $report" >&2
      cat "$report" >&2
    done
    return 1
  fi
  rm -rf "$reports"
  return "$status"
}

start=$SECONDS
trap 'printf "%s\n" "${times[@]}" "$(printf "%-34s %4d s" total $((SECONDS - start)))" >&2' EXIT
stage "setup and build (./build)" bash scripts/setup.sh
# The sanitizer build compiles while the usual build's tests run: most of their time is
# spent waiting on the real programs and the clock, which leaves the cores to the
# compiler. -O1 and line tables only, as sanitizer builds usually are: reports name every
# file and line, and the build takes a fifth less time than at -O2 -g.
sanitize_log=$(mktemp /tmp/pxn32-sanitize-build.XXXXXX)
(cmake -S . -B build-sanitize -DCMAKE_CXX_COMPILER=clang++ -DFUZZ=ON -DUNITY_UNITS=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO='-O1 -gline-tables-only -DNDEBUG' \
  >/dev/null && cmake --build build-sanitize -j"$jobs") >"$sanitize_log" 2>&1 &
sanitize_build=$!
stage "manual pages" lint_man_pages
stage "Debian package (./build)" check_package
stage "tests (./build)" ctest --test-dir build --output-on-failure -j"$jobs"
finish_sanitize_build() {
  local status=0
  wait "$sanitize_build" || status=$?
  ((status == 0)) || cat "$sanitize_log" >&2
  rm -f "$sanitize_log"
  return "$status"
}
stage "build sanitizers+fuzz (clang, overlapped)" finish_sanitize_build
stage "tests under sanitizers" sanitized_suite
stage "fuzzers" bash scripts/fuzz.sh build-sanitize 20

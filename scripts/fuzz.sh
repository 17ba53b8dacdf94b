#!/usr/bin/env bash
# Runs the libFuzzer harnesses (tests/fuzz) for SECONDS each, one after another, and prints per
# harness its executions, coverage (cov: edges reached, ft: features) and findings. Each harness
# keeps a corpus of its own in build/fuzz/long-run/<harness>/corpus, seeded from
# tests/fuzz/corpus/<harness>, so that a later run goes on from where this one stopped; an input
# that fails is kept in build/fuzz/long-run/<harness>/artifacts. Exits non-zero on any finding.
#
# One input may take up to 300 s here (and is only then saved as slow), not the 10 s of the short
# runs: a long run shares the machine, and a run starved of the processor for 10 s once reported
# as a "timeout" an input that takes 0.2 s on its own.
#
# usage: scripts/fuzz.sh SECONDS [HARNESS ...]
#   QX48_FUZZ_NO_BUILD=1  run the fuzz build as it is, without building it first
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1

seconds=${1:-}
if ! [[ "$seconds" =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh SECONDS [HARNESS ...]" >&2
  exit 2
fi
shift
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  harnesses=(fuzz_version_file fuzz_column_widths fuzz_entry_names)
fi

if [ "${QX48_FUZZ_NO_BUILD:-0}" != 1 ]; then
  if [ ! -f build/fuzz/CMakeCache.txt ] && ! cmake --preset fuzz >/dev/null; then
    echo "the fuzz build could not be configured" >&2
    exit 1
  fi
  if ! cmake --build --preset fuzz >/dev/null; then
    echo "the fuzz build failed: cmake --build --preset fuzz" >&2
    exit 1
  fi
fi

# The figure after "name: " in the last status line libFuzzer printed.
last_figure() {
  grep -E '^#[0-9]+.* cov: ' "$2" | tail -n 1 | sed -nE "s/.* $1: ([0-9]+).*/\\1/p"
}

found=0
printf '%-20s %8s %12s %7s %7s %7s  %s\n' harness seconds executions cov ft corpus findings
for harness in "${harnesses[@]}"; do
  binary=build/fuzz/tests/fuzz/$harness
  if [ ! -x "$binary" ]; then
    echo "$harness: no such harness in build/fuzz/tests/fuzz" >&2
    found=1
    continue
  fi
  work=build/fuzz/long-run/$harness
  mkdir -p "$work/corpus" "$work/artifacts"
  log=$work/last-run.log
  before=$(find "$work/artifacts" -type f | wc -l)
  start=$SECONDS
  # shellcheck disable=SC2046  # the options file holds flags separated by white space
  "$binary" $(cat "tests/fuzz/$harness.options") -timeout=300 -report_slow_units=300 -max_total_time="$seconds" \
    -print_final_stats=1 -dict="tests/fuzz/$harness.dict" -artifact_prefix="$work/artifacts/" \
    "$work/corpus" "tests/fuzz/corpus/$harness" >"$log" 2>&1
  status=$?
  took=$((SECONDS - start))
  executions=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+).*/\1/p' "$log" | tail -n 1)
  new=$(($(find "$work/artifacts" -type f | wc -l) - before))
  findings=none
  if [ "$status" != 0 ] || [ "$new" -gt 0 ]; then
    found=1
    findings="exit status $status, $new new input(s) in $work/artifacts; log $log"
  fi
  printf '%-20s %8s %12s %7s %7s %7s  %s\n' "$harness" "$took" "${executions:-?}" \
    "$(last_figure cov "$log")" "$(last_figure ft "$log")" "$(last_figure corp "$log")" "$findings"
done
exit "$found"

#!/usr/bin/env bash
# Adds up one build's test results: prints "passed failed skipped".
# A program that wrote GoogleTest XML counts its cases; one that wrote none (a crash, a script)
# counts as one case, passed or failed as CTest saw it. A program whose cases all passed but that
# CTest saw fail (it crashed on the way out, or timed out) adds one failure.
set -u
build=$1
results="$build/test-results"
failed_list="$build/Testing/Temporary/LastTestsFailed.log"
passed=0
failed=0
skipped=0
while IFS= read -r name; do
  [ -n "$name" ] || continue
  ctest_failed=0
  [ -f "$failed_list" ] && grep -qE "^[0-9]+:$name\$" "$failed_list" && ctest_failed=1
  xml="$results/$name.xml"
  if [ -f "$xml" ]; then
    head=$(grep -m1 '<testsuites' "$xml")
    t=$(sed -nE 's/.* tests="([0-9]+)".*/\1/p' <<<"$head")
    f=$(sed -nE 's/.* failures="([0-9]+)".*/\1/p' <<<"$head")
    s=$(sed -nE 's/.* disabled="([0-9]+)".*/\1/p' <<<"$head")
    k=$(grep -c '<skipped' "$xml")
    t=${t:-0}; f=${f:-0}; s=${s:-0}
    passed=$((passed + t - f - s - k))
    skipped=$((skipped + k))
    failed=$((failed + f))
    if [ "$ctest_failed" = 1 ] && [ "$f" = 0 ]; then failed=$((failed + 1)); fi
  elif [ "$ctest_failed" = 1 ]; then
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
  fi
done < <(ctest --test-dir "$build" -N 2>/dev/null | sed -nE 's/^ *Test +#[0-9]+: (.*)$/\1/p')
echo "$passed $failed $skipped"

#!/bin/sh
# One libFuzzer harness as a CTest entry: RUNS runs from seed 1 over the repository's seed corpus.
# New inputs go to a fresh folder in the build, never into the repository; an input that fails is
# kept in WORK/artifacts and the entry fails.
# usage: run-harness.sh HARNESS SEED_CORPUS DICTIONARY OPTIONS RUNS WORK
set -eu
harness=$1 corpus=$2 dictionary=$3 options=$4 runs=$5 work=$6
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
# shellcheck disable=SC2046  # the options file holds flags separated by white space
exec "$harness" $(cat "$options") -runs="$runs" -seed=1 -dict="$dictionary" \
  -print_final_stats=1 -artifact_prefix="$work/artifacts/" "$work/corpus" "$corpus"

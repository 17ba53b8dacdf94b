#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the flash, both windows (32- and 64-bit),
# host, fuzz and tsan builds, runs the windows tests under Wine (in a window server, Xvfb) and the
# others natively. The 32-bit programs' tests are counted as skipped where this machine cannot run
# them (a kernel without 32-bit user mode, a 32-bit Wine set-up could not install, or
# QX48_WINE64_ONLY=1), and the last lines then say that the 32-bit build and the win32 ZIP were
# not tested; the check of the 32-bit programs' stack alignment runs everywhere, and so do the
# 64-bit tests.
# The last line is "N passed, N failed"; the exit status is non-zero when anything failed or did
# not build.
set -u
root=$(cd "$(dirname "$0")" && pwd)
cd "$root"
logs="$root/build/logs"

if ! scripts/setup.sh; then
  echo "setup failed"
  echo "0 passed, 1 failed"
  exit 1
fi
mkdir -p "$logs"
source scripts/wine-env.sh
echo "== Wine: $(qx48_wine_kind)"

passed=0
failed=0
skipped=0
win32_programs=0
broken=()

build() {
  local preset=$1
  shift
  if cmake --preset "$preset" "$@" >"$logs/$preset-configure.log" 2>&1 &&
     cmake --build --preset "$preset" >"$logs/$preset-build.log" 2>&1; then
    return 0
  fi
  echo "== the $preset build failed:"
  tail -n 60 "$logs/$preset-configure.log" "$logs/$preset-build.log" 2>/dev/null
  broken+=("$preset")
  failed=$((failed + 1))
  return 1
}

run_tests() {
  local preset=$1
  shift
  rm -rf "build/$preset/test-results" && mkdir -p "build/$preset/test-results"
  # CTest leaves the failures of an earlier run in place when this one has none.
  rm -f "build/$preset/Testing/Temporary/LastTestsFailed.log"
  echo "== $preset tests"
  "$@" ctest --preset "$preset" --timeout 900
  read -r p f k < <(scripts/sum-results.sh "build/$preset")
  echo "== $preset: $p passed, $f failed, $k skipped"
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + k))
}

# A build whose programs cannot run on this machine: each program counts as one skipped case.
skip_tests() {
  local preset=$1 why=$2
  local programs
  programs=$(ctest --test-dir "build/$preset" -N 2>/dev/null | sed -nE 's/^Total Tests: ([0-9]+)$/\1/p')
  programs=${programs:-0}
  echo "== $preset tests skipped ($programs programs): $why"
  skipped=$((skipped + programs))
  win32_programs=$programs
}

# A check that counts as one case: its log is shown when it fails.
count_check() {
  local name=$1 log=$2
  shift 2
  local p=1 f=0
  if ! "$@" >"$log" 2>&1; then
    p=0 f=1
    cat "$log"
  fi
  echo "== $name: $p passed, $f failed"
  passed=$((passed + p))
  failed=$((failed + f))
}

start=$(date +%s)
# The set-up script itself, against a stand-in package system that fails as a mirror does.
tests/scripts/setup-test.sh >"$logs/setup-test.log" 2>&1
read -r p f < <(sed -nE 's/^([0-9]+) passed, ([0-9]+) failed$/\1 \2/p' "$logs/setup-test.log" | tail -n 1)
p=${p:-0}
f=${f:-1}
[ "$f" = 0 ] || grep -v '^ok: ' "$logs/setup-test.log"
echo "== set-up script: $p passed, $f failed"
passed=$((passed + p))
failed=$((failed + f))

flash_image="$root/build/flash/flashalgo/QX48Flash.FLM"
build flash
flash_ok=$?
# Both Windows builds always compile, whether or not this machine can run them.
build windows -DQX48_FLASH_IMAGE="$flash_image" && windows_ok=0 || windows_ok=1
build windows64 -DQX48_FLASH_IMAGE="$flash_image" && windows64_ok=0 || windows64_ok=1
build host -DQX48_FLASH_IMAGE="$flash_image" && host_ok=0 || host_ok=1
# The parsers under libFuzzer (a fixed number of runs over the seed corpus), and what two threads
# share under ThreadSanitizer.
build fuzz && fuzz_ok=0 || fuzz_ok=1
build tsan && tsan_ok=0 || tsan_ok=1

if [ "$windows_ok" = 0 ] || [ "$windows64_ok" = 0 ]; then
  qx48_wine_prefix_ready
  # A persistent wine server keeps each test program's start short (0.6 s instead of 2.5 s).
  qx48_wineserver -p </dev/null >/dev/null 2>&1
  # Large enough for the dialog at 200 % scale (1412 x 687 pixels), which the tests draw.
  screen="-screen 0 1600x1200x24"
  if [ "$windows64_ok" = 0 ]; then
    run_tests windows64 xvfb-run -a -s "$screen" scripts/with-wine-session.sh
  fi
  if [ "$windows_ok" = 0 ]; then
    if [ "$QX48_WIN32_RUNS" = yes ]; then
      run_tests windows xvfb-run -a -s "$screen" scripts/with-wine-session.sh
    else
      skip_tests windows "$(qx48_wine_kind)"
    fi
  fi
  qx48_wineserver -k </dev/null >/dev/null 2>&1
fi
if [ "$host_ok" = 0 ]; then
  run_tests host
fi
if [ "$fuzz_ok" = 0 ]; then
  run_tests fuzz
fi
if [ "$tsan_ok" = 0 ]; then
  run_tests tsan
fi
[ "$flash_ok" = 0 ] || true
# What keeps the 32-bit programs from crashing on a thread Windows starts, read from their code:
# this runs on every machine, whether or not it can run them.
if [ "$windows_ok" = 0 ]; then
  count_check "32-bit programs realign their stacks" "$logs/stack-alignment.log" \
    scripts/check-32bit-stack.sh build/windows
fi
# Two builds of the committed HEAD, cloned into folders of other names, give the same flash
# image, programs and unsigned package ZIP.
count_check "reproducible build (windows64, two clones)" "$logs/reproducible.log" \
  scripts/check-reproducible.sh windows64

echo "== all tests took $(( $(date +%s) - start )) s${broken:+; builds that failed: ${broken[*]}}"
if [ "$QX48_WIN32_RUNS" != yes ]; then
  # Said where it is read, in the last lines: a quiet "skipped" once let a crashing 32-bit
  # package ship.
  echo "== NOT TESTED on this machine: the 32-bit build's $win32_programs test programs and the"
  echo "   win32 ZIP (its dialog and console install) did not run, because $QX48_WIN32_WHY."
  echo "   Only the check of their code above ran. Run ./test.sh on a machine whose kernel runs"
  echo "   32-bit programs before shipping the win32 ZIP."
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]

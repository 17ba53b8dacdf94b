#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the flash, windows and host builds, runs the
# windows tests under Wine (in a window server, Xvfb) and the host tests natively.
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

passed=0
failed=0
skipped=0
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
  echo "== $preset tests"
  "$@" ctest --preset "$preset" --timeout 900
  read -r p f k < <(scripts/sum-results.sh "build/$preset")
  echo "== $preset: $p passed, $f failed, $k skipped"
  passed=$((passed + p))
  failed=$((failed + f))
  skipped=$((skipped + k))
}

start=$(date +%s)
build flash
flash_ok=$?
build windows -DQX48_FLASH_IMAGE="$root/build/flash/flashalgo/QX48Flash.FLM" && windows_ok=0 || windows_ok=1
build host -DQX48_FLASH_IMAGE="$root/build/flash/flashalgo/QX48Flash.FLM" && host_ok=0 || host_ok=1

if [ "$windows_ok" = 0 ]; then
  source scripts/wine-env.sh
  qx48_wine_prefix_ready
  # A persistent wine server keeps each test program's start short (0.6 s instead of 2.5 s).
  wineserver -p </dev/null >/dev/null 2>&1
  run_tests windows xvfb-run -a -s "-screen 0 1280x1024x24" scripts/with-wine-session.sh
  wineserver -k </dev/null >/dev/null 2>&1
fi
if [ "$host_ok" = 0 ]; then
  run_tests host
fi
[ "$flash_ok" = 0 ] || true

echo "== all tests took $(( $(date +%s) - start )) s${broken:+; builds that failed: ${broken[*]}}"
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" = 0 ]

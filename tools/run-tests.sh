#!/bin/bash
# Configures, builds and tests each build (default: all of them), then prints
# every build's test summary. Exits non-zero when any build or test fails.
# Windows tests need a display for the programs that open windows: without
# one, the whole run goes inside its own Xvfb.
#
# The i686 product is always built, but its tests run only where this
# machine runs 32-bit programs (tools/i686-probe.sh); the x86_64 test build
# runs everywhere. NETMON_64BIT_ONLY=1 takes the path of a machine that
# runs none.
set -u
cd "$(dirname "$0")/.."
builds=("$@")
[ ${#builds[@]} -eq 0 ] && builds=(native tsan fuzz windows windows64)

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "${builds[@]}"
fi

. tools/i686-probe.sh
i686_blocked=$(i686_blocked_reason)

summaries=()
failed=0
passed_total=0
failed_total=0
prefix=""

stop_wineserver() {
  [ -n "$prefix" ] && WINEPREFIX="$prefix" wineserver -k 2>/dev/null
  prefix=""
}
trap stop_wineserver EXIT

# One wineserver, kept up for the whole Windows run and started inside this
# display, makes each test process start in a fraction of a second.
# The first run creates the prefix on first use; its server must have ended
# before the persistent one starts, or `wineserver -p` finds a server still
# running and does nothing, and that server's idle exit can later reset a
# test's connection.
# Wine's desktop is kept up beside it (testing/wine_desktop): a test
# program that starts or ends while the desktop comes up or goes down now
# and then fails to start or hangs at its exit.
start_wineserver() {
  local build=$1
  prefix="$PWD/build/$build/wineprefix"
  "build/$build/wine-run" cmd /c exit 0 >/dev/null 2>&1
  WINEPREFIX="$prefix" wineserver -w
  WINEPREFIX="$prefix" wineserver -p
  "build/$build/wine-run" cmd /c exit 0 >/dev/null 2>&1
  "build/$build/wine-run" "build/$build/bin/keep_desktop.exe" >/dev/null 2>&1 &
}

is_windows() { [ "$1" = windows ] || [ "$1" = windows64 ]; }

for build in "${builds[@]}"; do
  echo "=== $build: configure and build"
  configure=()
  if [ "$build" = windows ]; then
    configure=(-DNETMON_RUN_UNDER_WINE=$([ -n "$i686_blocked" ] && echo OFF || echo ON))
  fi
  if ! cmake --preset "$build" "${configure[@]}" >"build-$build.log" 2>&1 ||
     ! cmake --build --preset "$build" >>"build-$build.log" 2>&1; then
    tail -n 60 "build-$build.log"
    summaries+=("$build: BUILD FAILED (see build-$build.log)")
    failed=1
    continue
  fi
  out=$(mktemp)
  if [ "$build" = windows ] && [ -n "$i686_blocked" ]; then
    # The checks of the binaries themselves need no Wine.
    echo "=== $build: the i686 programs can't run here ($i686_blocked); PE checks only"
    ctest --preset "$build" --no-tests=error -L pe_check 2>&1 | tee "$out"
    status=${PIPESTATUS[0]}
    note=" - PE checks only; the i686 tests were built but NOT run: $i686_blocked"
  else
    is_windows "$build" && start_wineserver "$build"
    echo "=== $build: test"
    ctest --preset "$build" --no-tests=error 2>&1 | tee "$out"
    status=${PIPESTATUS[0]}
    is_windows "$build" && stop_wineserver
    note=""
  fi
  line=$(grep -E 'tests passed|No tests were found' "$out" | tail -n 1)
  # The Windows presets run a failed test once more (Wine's own faults):
  # the summary names every test that needed it.
  again=$(grep -E '^ *[0-9]+/[0-9]+ Test +#[0-9]+: .*\*\*\*(Failed|Timeout|Exception)' "$out" |
          sed -E 's/^.*Test +#[0-9]+: ([^ ]+) .*$/\1/' | sort -u | tr '\n' ' ')
  [ -n "$again" ] && is_windows "$build" && note+=" - run again after a first failure: $again"
  summaries+=("$build: ${line:-no summary} (ctest exit $status)$note")
  if [[ "$line" =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed_total=$((failed_total + BASH_REMATCH[1]))
    passed_total=$((passed_total + BASH_REMATCH[2] - BASH_REMATCH[1]))
  fi
  [ "$status" -ne 0 ] && failed=1
  rm -f "$out"
done

echo
echo "=== summary"
printf '%s\n' "${summaries[@]}"
echo "all builds: $passed_total passed, $failed_total failed"
exit $failed

#!/bin/bash
# Builds the release benchmarks and runs each of them in turn.
set -eu
cd "$(dirname "$0")/.."
cmake --preset bench >build-bench.log 2>&1
cmake --build --preset bench >>build-bench.log 2>&1 || { tail -n 40 build-bench.log; exit 1; }
status=0
for bench in build/bench/benchmarks/*; do
  [ -x "$bench" ] || continue
  echo "=== $(basename "$bench")"
  "$bench" || status=1
done
exit $status

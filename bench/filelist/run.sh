#!/usr/bin/env bash
# Builds the list's benchmark in release mode and runs it, under Xvfb when it is there (the
# program's real platform), else offscreen. Usage: bench/filelist/run.sh [build-dir] [args]
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/bench-filelist}
shift || true
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMORVELLE_BENCH=ON \
  -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" --target filelist_drop_bench -j 2
bench=$build/bench/filelist/filelist_drop_bench
if command -v xvfb-run >/dev/null; then
  xvfb-run -a "$bench" "$@"
else
  QT_QPA_PLATFORM=offscreen "$bench" "$@"
fi

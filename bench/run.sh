#!/usr/bin/env bash
# make bench: the micro benchmarks, then the whole-program comparisons.
set -euo pipefail
build=${1:-build/bench}
here=$(cd "$(dirname "$0")" && pwd)
"$build/bench/kobu_micro_bench" --benchmark_min_time=0.2
[ -f "$here/../build/win32/kobu.exe" ] || { cmake --preset win32 >/dev/null && cmake --build --preset win32 >/dev/null; }
/usr/bin/python3 "$here/compare.py" "$build"

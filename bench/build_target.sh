#!/usr/bin/env bash
# Builds one benchmark target in BUILD_DIR, configuring it first (Release, benchmarks on, test
# suites off) when it is new.    usage: bench/build_target.sh BUILD_DIR TARGET
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="$1"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DZEVRA_BUILD_TESTS=OFF -DZEVRA_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build_dir" --target "$2" -j2 >/dev/null

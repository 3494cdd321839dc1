#!/usr/bin/env bash
# Search and downloads listing timings on generated folders (10,000 catalogue entries, 1,000
# queries, 10,000 downloads), in process and over a loopback socket.
#
#   bench/search/run.sh [BUILD_DIR]        (default: build-bench next to the sources)
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" \
        -DZEVRA_BUILD_TESTS=OFF -DZEVRA_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build_dir" --target zevra_search_bench -j2 >/dev/null
work="$(mktemp -d /tmp/zevra-search-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$build_dir/bench/search/zevra_search_bench" "$work"

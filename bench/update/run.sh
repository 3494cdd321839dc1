#!/usr/bin/env bash
# sha256File against sha256sum on one 512 MiB file, and archiveEntriesAreSafe on 512 entries.
#
#   bench/update/run.sh [BUILD_DIR] [SCRATCH_DIR]   (defaults: build-bench next to the sources, /tmp)
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
scratch="${2:-/tmp}"

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
    cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release \
        -DZEVRA_BUILD_TESTS=OFF -DZEVRA_BUILD_BENCH=ON >/dev/null
fi
cmake --build "$build_dir" --target zevra_update_bench -j2 >/dev/null
exec "$build_dir/bench/update/zevra_update_bench" "$scratch"

#!/usr/bin/env bash
# sha256File against sha256sum on one 512 MiB file, and archiveEntriesAreSafe on 512 entries.
#
#   bench/update/run.sh [BUILD_DIR] [SCRATCH_DIR]   (defaults: build-bench next to the sources, /tmp)
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
scratch="${2:-/tmp}"

"$source_dir/bench/build_target.sh" "$build_dir" zevra_update_bench
exec "$build_dir/bench/update/zevra_update_bench" "$scratch"

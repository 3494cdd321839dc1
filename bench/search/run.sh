#!/usr/bin/env bash
# Search and downloads listing timings on generated folders (10,000 catalogue entries, 1,000
# queries, 10,000 downloads), in process and over a loopback socket.
#
#   bench/search/run.sh [BUILD_DIR]        (default: build-bench next to the sources)
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
"$source_dir/bench/build_target.sh" "$build_dir" zevra_search_bench
work="$(mktemp -d /tmp/zevra-search-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT
"$build_dir/bench/search/zevra_search_bench" "$work"

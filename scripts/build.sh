#!/usr/bin/env bash
# Installs what is missing, then configures and builds ZEVRA into ./build (or $1).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
build_dir="${1:-build}"
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j"$(nproc)"

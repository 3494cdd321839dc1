#!/usr/bin/env bash
# Builds ZEVRA with its tests and runs the whole suite with the services it needs: a private
# home folder, a D-Bus session with an unlocked gnome-keyring, and an Xvfb display for the
# end-to-end window tests. Formatting and the layering rule are checked first; after the suite a
# Release build must compile cleanly too: its stronger optimisation brings warnings of its own,
# so it builds the suites as well (not the benchmarks) with warnings as errors.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/check-format.sh
./scripts/check-layers.sh
./scripts/build.sh build
./scripts/run-tests.sh build

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake --preset release "${launcher[@]}" >/dev/null
cmake --build build-release -j"$(nproc)"

#!/usr/bin/env bash
# Builds ZEVRA with its tests and runs the whole suite with the services it needs: a private
# home folder, a D-Bus session with an unlocked gnome-keyring, and an Xvfb display for the
# end-to-end window tests. Formatting and the layering rule are checked first.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
./scripts/check-format.sh
./scripts/check-layers.sh
./scripts/build.sh build
exec ./scripts/run-tests.sh build

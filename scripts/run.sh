#!/usr/bin/env bash
# Builds ZEVRA, registers it for .zev/.zevr documents, and starts it. Without a display it runs
# its loopback server only and says so.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/build.sh build
./scripts/install-desktop-entry.sh build/ZEVRA.app
exec build/ZEVRA.app/Contents/MacOS/ZEVRA "$@"

#!/usr/bin/env bash
# Registers a built ZEVRA.app with the desktop: a .desktop entry opening files with %F, a MIME
# type for .zev/.zevr documents and the application and document icons, in the user's own data
# folder.
set -euo pipefail
bundle="$(cd "${1:?usage: install-desktop-entry.sh ZEVRA.app}" && pwd)"
resources="$bundle/Contents/Resources"
data="${XDG_DATA_HOME:-$HOME/.local/share}"
mkdir -p "$data/applications" "$data/mime/packages"
sed "s|@EXECUTABLE@|$bundle/Contents/MacOS/ZEVRA|g" "$resources/com.kelmor.zevra.desktop" \
  > "$data/applications/com.kelmor.zevra.desktop"
cp "$resources/com.kelmor.zevra.mime.xml" "$data/mime/packages/com.kelmor.zevra.xml"
mkdir -p "$data/icons"
cp -R "$resources/icons/hicolor" "$data/icons/"
if command -v update-mime-database >/dev/null; then update-mime-database "$data/mime" >/dev/null 2>&1 || true; fi
if command -v update-desktop-database >/dev/null; then update-desktop-database "$data/applications" >/dev/null 2>&1 || true; fi

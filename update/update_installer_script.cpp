#include "update/update_installer_script.h"

namespace zevra {

// Every tool is named by its absolute path so the script cannot be steered through PATH.
const std::string_view hardenedUpdateInstallerScript = R"SCRIPT(#!/bin/bash
set -euo pipefail
# Arguments: ZIP APP VERSION OLD_PID LAUNCH_MODE

[ "$#" -eq 5 ] || exit 11
ZIP="$1"
APP="$2"
VERSION="$3"
OLD_PID="$4"
LAUNCH_MODE="$5"

case "$APP" in
  */ZEVRA.app) ;;
  *) exit 2 ;;
esac
case "$OLD_PID" in
  ''|*[!0-9]*) exit 11 ;;
esac
case "$LAUNCH_MODE" in
  launch|no-open) ;;
  *) exit 11 ;;
esac
[ -f "$ZIP" ] || exit 1

WORK="$(/usr/bin/mktemp -d "${TMPDIR:-/tmp}/zevra-update.XXXXXX")"
trap '/bin/rm -rf "$WORK"' EXIT

/usr/bin/ditto -x -k "$ZIP" "$WORK"
NEW_APP="$WORK/ZEVRA.app"
if [ ! -d "$NEW_APP" ]; then
  /usr/bin/open -R "$ZIP" || true
  exit 1
fi

EXTRA="$(/usr/bin/find "$WORK" -mindepth 1 -maxdepth 1 ! -name ZEVRA.app | /usr/bin/head -1)"
LINK="$(/usr/bin/find "$NEW_APP" -type l | /usr/bin/head -1)"
SPECIAL="$(/usr/bin/find "$NEW_APP" ! -type f ! -type d ! -type l | /usr/bin/head -1)"
[ -z "$EXTRA" ] || exit 8
[ -z "$LINK" ] || exit 9
[ -z "$SPECIAL" ] || exit 10

PLIST="$NEW_APP/Contents/Info.plist"
SHORT_VERSION="$(/usr/libexec/PlistBuddy -c "Print :CFBundleShortVersionString" "$PLIST" 2>/dev/null || true)"
BUILD_VERSION="$(/usr/libexec/PlistBuddy -c "Print :CFBundleVersion" "$PLIST" 2>/dev/null || true)"
IDENTIFIER="$(/usr/libexec/PlistBuddy -c "Print :CFBundleIdentifier" "$PLIST" 2>/dev/null || true)"
ARCHS="$(/usr/bin/lipo -archs "$NEW_APP/Contents/MacOS/ZEVRA" 2>/dev/null || true)"
[ "$SHORT_VERSION" = "$VERSION" ] || exit 3
[ "$BUILD_VERSION" = "$VERSION" ] || exit 6
[ "$IDENTIFIER" = "com.kelmor.zevra" ] || exit 4
[ "$ARCHS" = "arm64" ] || exit 7

/usr/bin/codesign --verify --deep --strict "$NEW_APP"

PARENT="${APP%/*}"
STAGED="$PARENT/.ZEVRA.update.$(/usr/bin/uuidgen)"
BACKUP="$PARENT/.ZEVRA.previous"
[ ! -e "$STAGED" ] || exit 12
/usr/bin/ditto "$NEW_APP" "$STAGED"
/usr/bin/codesign --verify --deep --strict "$STAGED"

WAITS=0
while /bin/kill -0 "$OLD_PID" 2>/dev/null; do
  if [ "$WAITS" -ge 80 ]; then
    /usr/bin/open -R "$ZIP" || true
    exit 13
  fi
  /bin/sleep 0.25
  WAITS=$((WAITS + 1))
done

# Swap into place
/bin/rm -rf "$BACKUP"
if [ -e "$APP" ]; then
  /bin/mv "$APP" "$BACKUP"
fi
if /bin/mv "$STAGED" "$APP"; then
  if [ "$LAUNCH_MODE" = "no-open" ] || /usr/bin/open "$APP"; then
    exit 0
  fi
fi

/bin/rm -rf "$APP"
if [ -e "$BACKUP" ]; then
  /bin/mv "$BACKUP" "$APP"
  if [ "$LAUNCH_MODE" = "launch" ]; then
    /usr/bin/open "$APP" || true
  fi
fi
exit 5)SCRIPT";

} // namespace zevra

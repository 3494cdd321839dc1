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

WORK=""
STAGED=""
STAGED_OURS=0
SWAPPING=0
BACKUP=""
# The app quit as soon as we started, so a refusal before the swap opens it again.
REOPEN=0
[ "$LAUNCH_MODE" = "launch" ] && REOPEN=1

wait_for_old_process() {
  local waits=0
  while /bin/kill -0 "$OLD_PID" 2>/dev/null; do
    [ "$waits" -lt 80 ] || return 1
    /bin/sleep 0.25
    waits=$((waits + 1))
  done
}

finish() {
  local status=$?
  set +e
  [ -z "$WORK" ] || /bin/rm -rf "$WORK"
  [ "$STAGED_OURS" -eq 0 ] || /bin/rm -rf "$STAGED"
  if [ "$SWAPPING" -eq 1 ] && [ ! -e "$APP" ] && [ -e "$BACKUP" ]; then
    /bin/mv "$BACKUP" "$APP"
  fi
  if [ "$status" -ne 0 ] && [ "$REOPEN" -eq 1 ] && [ -d "$APP" ] && wait_for_old_process; then
    /usr/bin/open "$APP"
  fi
  exit "$status"
}
trap finish EXIT
trap 'REOPEN=0; exit 129' HUP
trap 'REOPEN=0; exit 130' INT
trap 'REOPEN=0; exit 143' TERM

[ -f "$ZIP" ] || exit 1

WORK="$(/usr/bin/mktemp -d "${TMPDIR:-/tmp}/zevra-update.XXXXXX")"

/usr/bin/ditto -x -k "$ZIP" "$WORK"
NEW_APP="$WORK/ZEVRA.app"
if [ ! -d "$NEW_APP" ]; then
  /usr/bin/open -R "$ZIP" || true
  exit 1
fi

# find stops at its first match, so head never closes the pipe on it early.
EXTRA="$(/usr/bin/find "$WORK" -mindepth 1 -maxdepth 1 ! -name ZEVRA.app -print -quit | /usr/bin/head -1)"
LINK="$(/usr/bin/find "$NEW_APP" -type l -print -quit | /usr/bin/head -1)"
SPECIAL="$(/usr/bin/find "$NEW_APP" ! -type f ! -type d ! -type l -print -quit | /usr/bin/head -1)"
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
STAGED_OURS=1
/usr/bin/ditto "$NEW_APP" "$STAGED"
/usr/bin/codesign --verify --deep --strict "$STAGED"

if ! wait_for_old_process; then
  REOPEN=0
  /usr/bin/open -R "$ZIP" || true
  exit 13
fi

# Swap into place
REOPEN=0
SWAPPING=1
/bin/rm -rf "$BACKUP"
if [ -e "$APP" ]; then
  /bin/mv "$APP" "$BACKUP"
fi
if /bin/mv "$STAGED" "$APP"; then
  STAGED_OURS=0
  if [ "$LAUNCH_MODE" = "no-open" ] || /usr/bin/open "$APP"; then
    exit 0
  fi
fi

# Roll back: the failed copy goes aside first, so a failing removal cannot leave half an app.
set +e
FAILED="$PARENT/.ZEVRA.failed.$$"
[ ! -e "$APP" ] || /bin/mv "$APP" "$FAILED"
if [ ! -e "$APP" ] && [ -e "$BACKUP" ]; then
  /bin/mv "$BACKUP" "$APP"
  if [ -e "$APP" ] && [ "$LAUNCH_MODE" = "launch" ]; then
    /usr/bin/open "$APP"
  fi
fi
/bin/rm -rf "$FAILED"
exit 5)SCRIPT";

} // namespace zevra

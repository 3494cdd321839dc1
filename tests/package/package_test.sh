#!/usr/bin/env bash
# package_test.sh BUILD_DIR: packages the bundle built in BUILD_DIR, holds the package to Debian's
# and the desktop's validators, then installs it into a private copy of this system (an overlay
# over / in its own mount, network and process namespaces), uses it there as an ordinary user
# would, removes it and looks for anything it left behind.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source_dir="$(cd "$here/../.." && pwd)"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if [ "${1:-}" = --inside ]; then
  # shellcheck source=tests/package/private_root.sh
  source "$here/private_root.sh"
  exit 0
fi

[ "$(id -u)" -eq 0 ] || { echo "needs root for its namespaces; skipped"; exit 77; }
build_dir="$(cd "${1:?usage: package_test.sh BUILD_DIR}" && pwd)"
deb="$("$source_dir/scripts/package.sh" "$build_dir" | tail -n 1)"
[ -f "$deb" ] || fail "no package made"
version="$(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "zevra_${version}_amd64.deb" ] || fail "package named $(basename "$deb")"
dpkg-deb -f "$deb" Depends | grep -q 'libwebkit2gtk-4\.1-0' || fail "dependencies not computed"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/extracted"
desktop-file-validate "$work/extracted/usr/share/applications/com.kelmor.zevra.desktop" ||
  fail "desktop entry invalid"
metainfo="$work/extracted/usr/share/metainfo/com.kelmor.zevra.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "AppStream metadata invalid"
# Release notes must come with every version: the newest release in both lists is this one.
newest="$(xmllint --xpath 'string(/component/releases/release[1]/@version)' "$metainfo")"
[ "$newest" = "$version" ] || fail "metadata's newest release is '$newest', the package is $version"
zcat "$work/extracted/usr/share/doc/zevra/changelog.gz" | head -n 1 | grep -qF "zevra ($version) " ||
  fail "the changelog's newest entry is not $version"

# Warnings are shown; an error (or lintian failing to run) fails the test.
lintian --fail-on error --tag-display-limit 0 "$deb" || fail "lintian reports errors"

unshare --mount --net --pid --fork --mount-proc "$0" --inside "$deb"
echo "package test passed"

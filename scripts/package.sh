#!/usr/bin/env bash
# Makes zevra_<version>_amd64.deb: the bundle under /opt/zevra/ZEVRA.app, a /usr/bin/zevra
# launcher, the desktop entry, the .zev/.zevr type, icons and AppStream metadata.
#
#   scripts/package.sh            builds a Release bundle in a fresh ./build-package first
#   scripts/package.sh BUILD_DIR  packages the bundle already built in BUILD_DIR
#
# The package lands in the build folder; its path is the last line printed.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir="$PWD"

if [ $# -eq 0 ]; then
  ./scripts/install-deps.sh
  build_dir="$source_dir/build-package"
  rm -rf "$build_dir"
  launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DZEVRA_BUILD_TESTS=OFF \
    -DZEVRA_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
  cmake --build "$build_dir" -j"$(nproc)" --target ZEVRA
else
  build_dir="$(cd "$1" && pwd)"
fi

bundle="$build_dir/ZEVRA.app"
[ -x "$bundle/Contents/MacOS/ZEVRA" ] || { echo "no built bundle in $build_dir" >&2; exit 1; }
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$build_dir/CMakeCache.txt"; }
version="$(cache_value CMAKE_PROJECT_VERSION)"
site_host="$(cache_value ZEVRA_SITE_HOST)"
if [ -z "$version" ] || [ -z "$site_host" ]; then
  echo "no version or site host in $build_dir" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps expects the source package's layout: debian/control and debian/<package>/.
root="$work/debian/zevra"
mkdir -p "$work/debian"
printf 'Source: zevra\n\nPackage: zevra\nArchitecture: amd64\n' >"$work/debian/control"
with_host() { sed "s|@SITE_HOST@|$site_host|g" "$@"; }

mkdir -p "$root/opt/zevra" "$root/usr/bin" "$root/usr/share/applications" \
  "$root/usr/share/mime/packages" "$root/usr/share/icons" "$root/usr/share/metainfo" \
  "$root/usr/share/doc/zevra" "$root/usr/share/man/man1" "$root/usr/share/lintian/overrides" \
  "$root/DEBIAN"
cp -R "$bundle" "$root/opt/zevra/ZEVRA.app"
strip --strip-unneeded --remove-section=.comment --remove-section=.note \
  "$root/opt/zevra/ZEVRA.app/Contents/MacOS/ZEVRA"
resources="$root/opt/zevra/ZEVRA.app/Contents/Resources"
install -m 755 packaging/zevra "$root/usr/bin/zevra"
sed 's|@EXECUTABLE@|/usr/bin/zevra|g' "$resources/com.kelmor.zevra.desktop" \
  >"$root/usr/share/applications/com.kelmor.zevra.desktop"
cp "$resources/com.kelmor.zevra.mime.xml" "$root/usr/share/mime/packages/com.kelmor.zevra.xml"
cp -R "$resources/icons/hicolor" "$root/usr/share/icons/"
with_host packaging/com.kelmor.zevra.metainfo.xml >"$root/usr/share/metainfo/com.kelmor.zevra.metainfo.xml"
with_host packaging/copyright >"$root/usr/share/doc/zevra/copyright"
with_host packaging/changelog | gzip -9n >"$root/usr/share/doc/zevra/changelog.gz"
sed "s|@VERSION@|$version|g" packaging/zevra.1 | gzip -9n >"$root/usr/share/man/man1/zevra.1.gz"
# The bundle keeps the layout it has on every platform, so it lives as an add-on under /opt.
echo "zevra: dir-or-file-in-opt" >"$root/usr/share/lintian/overrides/zevra"

# The desktop, MIME and icon databases are refreshed at install and at removal by the dpkg
# triggers of the packages that own them (desktop-file-utils, shared-mime-info,
# hicolor-icon-theme), which watch the folders these files go to. No package owns /opt, so dpkg
# removes it with ours when nothing else is in it; the one maintainer script puts it back.
cat >"$root/DEBIAN/postrm" <<'SCRIPT'
#!/bin/sh
set -e
[ -d /opt ] || install -d -m 755 /opt
SCRIPT
find "$root" -type d -exec chmod 755 {} +
find "$root" -type f -perm /111 -exec chmod 755 {} +
find "$root" -type f ! -perm /111 -exec chmod 644 {} +
chmod 755 "$root/DEBIAN/postrm"

shlibs="$(cd "$work" && dpkg-shlibdeps -O "debian/zevra/opt/zevra/ZEVRA.app/Contents/MacOS/ZEVRA")"
shlibs="${shlibs#shlibs:Depends=}"
[ -n "$shlibs" ] || { echo "dpkg-shlibdeps found no dependencies" >&2; exit 1; }
installed_size="$(du -sk --exclude=DEBIAN "$root" | cut -f1)"
with_host packaging/control.in | sed -e "s|@VERSION@|$version|" -e "s|@INSTALLED_SIZE@|$installed_size|" \
  -e "s|@SHLIBS_DEPENDS@|$shlibs|" >"$root/DEBIAN/control"
(cd "$root" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z | xargs -0 md5sum) \
  >"$root/DEBIAN/md5sums"
chmod 644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb="$build_dir/zevra_${version}_amd64.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"

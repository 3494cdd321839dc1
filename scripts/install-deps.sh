#!/usr/bin/env bash
# Installs every Debian package ZEVRA's build, app, tests and benchmarks use. Safe to run again.
set -euo pipefail

packages=(
  # build
  build-essential cmake pkg-config clang libclang-rt-14-dev clang-format git
  # libraries
  libgtk-3-dev libwebkit2gtk-4.1-dev libsecret-1-dev libssl-dev libcurl4-openssl-dev
  nlohmann-json3-dev libplist++-dev libplist-dev libpcre2-dev libicu-dev
  # tests
  libgtest-dev libgmock-dev xvfb xauth imagemagick xdotool dbus dbus-x11 gnome-keyring
  libsecret-tools unzip zip python3 python3-cryptography openssl ca-certificates
  # icons, the package and its checks
  librsvg2-bin dpkg-dev lintian desktop-file-utils appstream libxml2-utils iproute2
  shared-mime-info hicolor-icon-theme gtk-update-icon-cache curl util-linux
  # benchmarks
  libbenchmark-dev wrk nginx-light coreutils procps
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"

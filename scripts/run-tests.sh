#!/usr/bin/env bash
# Runs ctest in ./build (or $1) inside the services the tests need. Extra arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="$(cd "${1:-build}" && pwd)"
shift || true

scratch="$(mktemp -d /tmp/zevra-tests.XXXXXX)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  # Keyring daemons (ours and any a test started) outlive their D-Bus session.
  for pid in $(pgrep -f gnome-keyring-daemon 2>/dev/null); do
    if tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -q "^HOME=$scratch/"; then
      kill "$pid" 2>/dev/null || true
    fi
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/home" "$scratch/runtime" "$scratch/tmp" "$build_dir/test-artifacts"
chmod 700 "$scratch/runtime"

# A display of our own for the window tests; the keyring tests must not see it (a keyring with a
# display may wait on a graphical prompt), so it is passed under another name.
display_number=""
for n in $(seq 91 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display_number=$n; break; fi
done
if [ -z "$display_number" ]; then
  echo "no free X display number for Xvfb" >&2
  exit 1
fi
Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X$display_number" ] && break
  sleep 0.1
done

env -u DISPLAY -u WAYLAND_DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
  HOME="$scratch/home" XDG_RUNTIME_DIR="$scratch/runtime" TMPDIR="$scratch/tmp" \
  XDG_DATA_HOME="$scratch/home/.local/share" XDG_CONFIG_HOME="$scratch/home/.config" \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp" TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp" \
  ZEVRA_TEST_DISPLAY=":$display_number" ZEVRA_TEST_ARTIFACTS="$build_dir/test-artifacts" \
  dbus-run-session -- sh -c '
    printf "\n" | gnome-keyring-daemon --unlock --components=secrets >/dev/null
    exec ctest --test-dir "$0" --output-on-failure --timeout 600 -j2 "$@"
  ' "$build_dir" "$@"

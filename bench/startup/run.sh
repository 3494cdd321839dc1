#!/usr/bin/env bash
# Start-up time and memory of ZEVRA against a bare WebKitGTK window, in one run on this machine.
#
#   bench/startup/run.sh [BUILD_DIR] [RUNS]     (default: build-bench next to the sources, 10)
#
# Under a private Xvfb and D-Bus session, starts each program cold (a fresh home folder) RUNS
# times, alternating: ZEVRA.app, and the bare window loading the same shell page from the same
# loopback server (ZEVRA's own, run beside it). Reports the median time from exec to the shell
# page's load-finished, and the resident memory of each program's processes (UI, web content
# and network) after the page has loaded, with the ratios ZEVRA/bare. Both bind 127.0.0.1:18484:
# run it where nothing else does, e.g. `unshare -mn sh -c 'ip link set lo up && bench/startup/run.sh'`.
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="${1:-$source_dir/build-bench}"
runs="${2:-10}"

for tool in Xvfb dbus-run-session; do
    command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

"$source_dir/bench/build_target.sh" "$build_dir" zevra_bench_bare_window
"$source_dir/bench/build_target.sh" "$build_dir" zevra_bench_serve_folder
"$source_dir/bench/build_target.sh" "$build_dir" ZEVRA
bare="$build_dir/bench/startup/zevra_bench_bare_window"
serve="$build_dir/bench/server/zevra_bench_serve_folder"
app="$build_dir/ZEVRA.app/Contents/MacOS/ZEVRA"
resources="$build_dir/ZEVRA.app/Contents/Resources"
url="http://127.0.0.1:18484/index.html"

display_number=""
for n in $(seq 141 190); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display_number=$n; break; fi
done
[ -n "$display_number" ] || { echo "no free X display number" >&2; exit 1; }
# The session's own services (a keyring the app may wake) keep their files in here.
scratch="$(mktemp -d /tmp/zevra-startup-bench-XXXXXX)"
Xvfb ":$display_number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
cleanup() {
    kill "$xvfb_pid" 2>/dev/null || true
    for pid in $(pgrep -f gnome-keyring-daemon 2>/dev/null); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -q "^HOME=$scratch"; then
            kill "$pid" 2>/dev/null || true
        fi
    done
    rm -rf "$scratch"
}
trap cleanup EXIT
for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$display_number" ] && break
    sleep 0.1
done

HOME="$scratch" DISPLAY=":$display_number" WEBKIT_DISABLE_COMPOSITING_MODE=1 dbus-run-session -- \
    /usr/bin/python3 "$source_dir/bench/startup/measure.py" "$runs" "$url" \
    "ZEVRA=$app" "bare=$bare $url {serve} $serve $resources 18484"

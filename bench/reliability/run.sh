#!/usr/bin/env bash
# Crash recovery figures of the real bundle, headless, in a private network and /tmp:
#  - the time from SIGKILL of a running copy to the copy the watchdog relaunched answering
#    GET /health (median of RUNS, default 5; each run starts from a clean receipt so the crash-loop
#    rule never stops the relaunch);
#  - the CPU time the watchdog script uses while it waits (WATCH_SECONDS, default 60).
#
#   bench/reliability/run.sh [BUILD_DIR]      (default: build next to the sources; needs root)
set -euo pipefail

source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
build_dir="$(cd "${1:-$source_dir/build}" && pwd)"
if [ -z "${ZEVRA_BENCH_PRIVATE:-}" ]; then
    # shellcheck disable=SC2016
    exec unshare -mn env ZEVRA_BENCH_PRIVATE=1 sh -c \
        'ip link set lo up && mount -t tmpfs tmpfs /tmp && exec "$0" "$1"' "$0" "$build_dir"
fi
runs="${RUNS:-5}"
watch_seconds="${WATCH_SECONDS:-60}"
app="$build_dir/ZEVRA.app/Contents/MacOS/ZEVRA"
[ -x "$app" ] || { echo "build the ZEVRA target first: $app is missing" >&2; exit 1; }

home="$(mktemp -d /tmp/zevra-reliability-bench-XXXXXX)"
data="$home/.local/share/ZEVRA"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
instance() {
    curl -s --max-time 1 -H 'Host: 127.0.0.1:18484' http://127.0.0.1:18484/health |
        sed -n 's/.*"instance":"\([0-9a-f]*\)".*/\1/p'
}
marker_pid() {
    find "$data" -maxdepth 1 -name 'watchdog-*.pending' 2>/dev/null |
        sed -n 's/.*watchdog-\([0-9]*\)\.pending$/\1/p' | head -1
}
# The watchdog of copy $1: its arguments name our private data folder.
watchdog_pid() { pgrep -f "zevra-watchdog.sh .* $1 $data/" | head -1; }
# Ends the running copy and its watchdog, found by their ids.
cleanup() {
    local pid
    pid="$(marker_pid)"
    [ -z "$pid" ] && return 0
    kill -KILL "$(watchdog_pid "$pid")" 2>/dev/null || true
    kill -KILL "$pid" 2>/dev/null || true
}
trap cleanup EXIT
wait_for() { # wait_for SECONDS COMMAND...: polls every 10 ms
    local deadline=$(($(now_ms) + $1 * 1000))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.01
    done
}
start_copy() {
    rm -rf "${home:?}"/* "$home"/.local
    mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
    env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
        XDG_DATA_HOME="$home/.local/share" XDG_CONFIG_HOME="$home/.config" \
        "$app" >/dev/null 2>&1 &
    disown
    wait_for 30 answers_health
}
answers_health() { [ -n "$(instance)" ]; }
answers_nothing() { [ -z "$(instance)" ]; }
has_watchdog() { [ -n "$(watchdog_pid "$pid")" ]; }

answers_new_instance() {
    local answer
    answer="$(instance)"
    [ -n "$answer" ] && [ "$answer" != "$old" ]
}

samples=()
for run in $(seq 1 "$runs"); do
    start_copy
    pid="$(marker_pid)"
    wait_for 10 has_watchdog
    old="$(instance)"
    start=$(now_ms)
    kill -KILL "$pid"
    wait_for 30 answers_new_instance
    samples+=($(($(now_ms) - start)))
    echo "run $run: SIGKILL to the relaunched copy answering /health: ${samples[-1]} ms"
    kill -TERM "$(marker_pid)"
    wait_for 10 answers_nothing
done
median=$(printf '%s\n' "${samples[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "median of $runs: $median ms"

start_copy
watchdog="$(watchdog_pid "$(marker_pid)")"
ticks() { awk '{print $14 + $15 + $16 + $17}' "/proc/$watchdog/stat"; }
before=$(ticks)
sleep "$watch_seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
echo "watchdog CPU while waiting: $((after - before)) ticks of 1/$hz s in $watch_seconds s" \
    "($(awk "BEGIN {printf \"%.3f\", 100 * ($after - $before) / ($hz * $watch_seconds)}") % of one core)"
kill -TERM "$(marker_pid)"

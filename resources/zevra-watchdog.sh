#!/bin/sh
# Crash watchdog: zevra-watchdog.sh BUNDLE PID MARKER
#
# Started by ZEVRA at launch. Waits, checking once a second, until process PID has ended. If
# MARKER still exists then, the process died without a clean exit: relaunch the application in
# BUNDLE once, in place of this script. If MARKER is gone it quit cleanly: exit quietly. A new
# launch removes stale markers and counts rapid unclean exits, and after three of them starts
# without a watchdog, so relaunches cannot loop.
bundle=$1
pid=$2
marker=$3

case $pid in
'' | *[!0-9]*) exit 64 ;;
esac
if [ -z "$bundle" ] || [ -z "$marker" ]; then
    exit 64
fi

# Sets state and start_time of the process from /proc, without starting a program: both
# stay empty when it is gone or there is no /proc.
read_process() {
    state=
    start_time=
    line=
    read -r line 2>/dev/null <"/proc/$pid/stat" || return 0
    # The command name in parentheses may hold spaces; the fields after it do not, and are
    # split here on purpose.
    # shellcheck disable=SC2086
    set -- ${line##*) }
    state=$1
    start_time=${20}
}

read_process
started=$start_time

running() {
    kill -0 "$pid" 2>/dev/null || return 1
    [ -d /proc/self ] || return 0
    read_process
    # A zombie has ended; another start time means the number now belongs to another process.
    [ -n "$state" ] && [ "$state" != Z ] && [ "$start_time" = "$started" ]
}

while running; do
    sleep 1
done

[ -e "$marker" ] || exit 0
executable=$bundle/Contents/MacOS/ZEVRA
[ -x "$executable" ] || exit 0
exec "$executable"

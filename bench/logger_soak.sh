#!/bin/bash
# tarnwick-logger left running on the built-in "Test Signal" at the defaults,
# with its per-second log: resident memory after the first minute and at the
# end (it must not grow), and the share of one core it used.
#
# Usage: logger_soak.sh BUILD_DIR [SECONDS]   (default 600)
set -euo pipefail
logger=$1/tools/tarnwick-logger
seconds=${2:-600}
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/config" "$work/log"

HOME=$work/home XDG_CONFIG_HOME=$work/config PULSE_SERVER=unix:$work/no-server \
    "$logger" --device "Test Signal" --log-dir "$work/log" 2>"$work/err" &
pid=$!
ticks_per_second=$(getconf CLK_TCK)

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }
cpu_ticks() {
    local stat
    stat=$(cat "/proc/$pid/stat")
    echo "${stat##*) }" | awk '{ print $12 + $13 }'
}

sleep 60
rss_minute=$(rss_kb)
ticks_minute=$(cpu_ticks)
start=$(date +%s.%N)
sleep $((seconds - 60))
rss_end=$(rss_kb)
ticks_end=$(cpu_ticks)
end=$(date +%s.%N)

awk -v a="$rss_minute" -v b="$rss_end" -v n="$seconds" 'BEGIN {
    printf "tarnwick-logger resident memory: %d KB after 1 min, %d KB after %d s (%+d KB)\n",
        a, b, n, b - a }'
awk -v t0="$ticks_minute" -v t1="$ticks_end" -v hz="$ticks_per_second" -v s="$start" -v e="$end" \
    'BEGIN { printf "tarnwick-logger CPU after the first minute: %.2f %% of one core (target under 1 %%)\n",
        100 * (t1 - t0) / hz / (e - s) }'
echo "per-second log rows: $(($(cat "$work"/log/*.csv | wc -l) - 1))"

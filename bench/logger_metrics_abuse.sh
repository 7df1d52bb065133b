#!/bin/bash
# tarnwick-logger's /metrics under abuse, on the loopback: ten requests with a
# 10 MB header, one with a 200 MB header and ten idle connections. Prints the
# logger's resident memory before and after (it must stay within 2 MB) and
# how long a scrape then takes, the idle connections still open (under 1 s).
#
# Usage: logger_metrics_abuse.sh BUILD_DIR [PORT]   (default 19464)
set -euo pipefail
logger=$1/tools/tarnwick-logger
port=${2:-19464}
work=$(mktemp -d)
pid=
cleanup() {
    [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/config"

HOME=$work/home XDG_CONFIG_HOME=$work/config PULSE_SERVER=unix:$work/no-server \
    "$logger" --device "Test Signal" --metrics "127.0.0.1:$port" 2>"$work/err" &
pid=$!
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status"; }

# Ready and warm: two scrapes answered.
for _ in $(seq 50); do
    curl -sf -o /dev/null "http://127.0.0.1:$port/metrics" && break
    sleep 0.1
done
curl -sf -o /dev/null "http://127.0.0.1:$port/metrics"
sleep 2
before=$(rss_kb)

# A header line of BYTES bytes that never ends, until the logger closes.
big_header() {
    (
        exec 3<>"/dev/tcp/127.0.0.1/$port"
        printf 'GET /metrics HTTP/1.1\r\nX-Big: ' >&3
        head -c "$1" /dev/zero | tr '\0' x >&3
    ) 2>/dev/null || true
}
for _ in $(seq 10); do big_header 10000000; done
big_header 200000000
for fd in $(seq 10 19); do
    eval "exec $fd<>/dev/tcp/127.0.0.1/$port"
    printf 'GET /met' >&"$fd"
done

seconds=$(curl -sf -o /dev/null -m 5 -w '%{time_total}' "http://127.0.0.1:$port/metrics" ||
    echo failed)
after=$(rss_kb)
for fd in $(seq 10 19); do eval "exec $fd>&-"; done

awk -v a="$before" -v b="$after" 'BEGIN {
    printf "tarnwick-logger resident memory under /metrics abuse: %d KB before, %d KB after (%+d KB, limit 2048)\n",
        a, b, b - a }'
echo "scrape with ten idle connections open: $seconds s (limit 1 s)"

#!/bin/bash
# tarnwick-logger at its defaults on a real input: a private PulseAudio with a
# sine source, as a sound card delivers it, with the per-second log. Prints the
# share of one core the logger used after its first 20 s, and the rows per
# second of wall clock.
#
# Usage: logger_real_input.sh BUILD_DIR [SECONDS]   (default 120)
set -euo pipefail
logger=$1/tools/tarnwick-logger
seconds=${2:-120}
work=$(mktemp -d)
server_pid=
pid=
cleanup() {
    [ -n "$pid" ] && kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
    [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null && wait "$server_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/home" "$work/config" "$work/log" "$work/pulse/runtime" "$work/pulse/state"

HOME=$work/pulse XDG_RUNTIME_DIR=$work/pulse XDG_CONFIG_HOME=$work/pulse \
    PULSE_RUNTIME_PATH=$work/pulse/runtime PULSE_STATE_PATH=$work/pulse/state \
    DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-bus \
    pulseaudio --daemonize=no -n --exit-idle-time=-1 --system=no --use-pid-file=no \
    --log-target=stderr \
    -L "module-native-protocol-unix auth-anonymous=1 socket=$work/pulse/native" \
    -L "module-sine-source source_name=sine rate=44100 frequency=1000" \
    >"$work/pulse.log" 2>&1 </dev/null &
server_pid=$!
server=unix:$work/pulse/native
for _ in $(seq 100); do
    pactl --server="$server" info >/dev/null 2>&1 && break
    sleep 0.1
done
pactl --server="$server" set-default-source sine

HOME=$work/home XDG_CONFIG_HOME=$work/config PULSE_SERVER=$server \
    "$logger" --log-dir "$work/log" 2>"$work/err" &
pid=$!
ticks_per_second=$(getconf CLK_TCK)
cpu_ticks() {
    local stat
    stat=$(cat "/proc/$pid/stat")
    echo "${stat##*) }" | awk '{ print $12 + $13 }'
}

sleep 20
ticks_start=$(cpu_ticks)
start=$(date +%s.%N)
sleep $((seconds - 20))
ticks_end=$(cpu_ticks)
end=$(date +%s.%N)
awk -v t0="$ticks_start" -v t1="$ticks_end" -v hz="$ticks_per_second" -v s="$start" -v e="$end" \
    'BEGIN { printf "tarnwick-logger CPU on a real input: %.2f %% of one core (target under 1 %%)\n",
        100 * (t1 - t0) / hz / (e - s) }'
rows=$(($(cat "$work"/log/*.csv | wc -l) - 1))
echo "per-second log rows: $rows in about $seconds s; input: $(head -1 "$work/err" | sed 's/.*input/input/')"

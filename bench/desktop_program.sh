#!/bin/bash
# The desktop program's running cost on a virtual screen, on the built-in
# "Test Signal" with a test running:
#   - start to first painted meter, over five starts;
#   - the whole process's CPU over 30 s at the default settings and at Sweep 1 s,
#     read from /proc (user + system time of every thread);
#   - how often the meter picture was repainted, against the screen's rate.
#
#   - a venue's show: a test on a private PulseAudio source for VENUE_SECONDS
#     (default 300), the main window alone and then with the Loudness, Sound
#     Level and numeric windows open, beside `ffmpeg -af ebur128=peak=true` on
#     the same source; the CPU of the first and of the last minute, and ours
#     against ffmpeg's (targets: main window alone 0.5 %, all windows no more
#     than ffmpeg, the last minute no more than the first).
#
# Usage: desktop_program.sh BUILD_DIR [SECONDS]
set -euo pipefail
source "$(dirname "$0")/../tests/e2e/virtual_screen.sh"

program=$1/tarnwick
seconds=${2:-30}
work=$(mktemp -d)
xvfb_pid=
program_pid=

trap end_run EXIT

start_virtual_screen || { echo "Xvfb did not start"; exit 1; }
export QT_LOGGING_RULES="tarnwick.paint.debug=true"
ticks_per_second=$(getconf CLK_TCK)

# CPU ticks (user + system) the process has used so far.
cpu_ticks() {
    local stat
    stat=$(cat "/proc/$1/stat")
    # Fields after the command name: state is the first, utime the 12th.
    echo "${stat##*) }" | awk '{ print $12 + $13 }'
}

# Starts a new user's program in "$work/$1" with the settings file `$2` (may be
# empty) and sets program_pid; the log is "$work/$1/program.log".
launch() {
    local home=$work/$1
    mkdir -p "$home"
    new_user_environment "$home"
    # The private sound server, where a run has one.
    if [ -n "${venue_server:-}" ]; then
        export PULSE_SERVER=$venue_server
    fi
    if [ -n "$2" ]; then
        mkdir -p "$XDG_CONFIG_HOME/Hollowden"
        printf '%s\n' "$2" >"$XDG_CONFIG_HOME/Hollowden/Tarnwick.reg"
    fi
    : >"$home/program.log"  # exists before the program's shell opens it
    "$program" >"$home/program.log" 2>&1 &
    program_pid=$!
}

# Wake-ups of the main thread so far: "voluntary involuntary". Involuntary
# ones mean other work took the processor away, and the CPU figure of that run
# is inflated by what it did to the caches.
switches() {
    awk '/^voluntary_ctxt_switches/ { v = $2 } /^nonvoluntary_ctxt_switches/ { n = $2 }
         END { print v, n }' "/proc/$1/status"
}

stop() {
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
    program_pid=
}

echo "== start to first painted meter (ms)"
startups=()
for run in 1 2 3 4 5; do
    started=$(date +%s%3N)
    launch "start-$run" ""
    painted=
    for _ in $(seq 200); do
        painted=$(sed -n 's/.*first meter painted at \([0-9]*\) ms.*/\1/p' "$work/start-$run/program.log")
        [ -n "$painted" ] && break
        sleep 0.05
    done
    stop
    [ -n "$painted" ] || { echo "run $run: no first paint within 10 s"; exit 1; }
    startups+=($((painted - started)))
done
echo "runs: ${startups[*]}  (target: under 1000)"

# Runs a test for `seconds` and prints the CPU share and the repaint rate.
measure() {
    local name=$1 settings=$2 window before after paints switches_before switches_after
    launch "$name" "$settings"
    window=$(meter_window) || { echo "$name: no window"; exit 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --window "$window" space
    sleep 2  # past start-up
    before=$(cpu_ticks "$program_pid")
    switches_before=$(switches "$program_pid")
    sleep "$seconds"
    after=$(cpu_ticks "$program_pid")
    switches_after=$(switches "$program_pid")
    paints=$(sed -n 's/.* \([0-9]*\) meter paints in \([0-9]*\) ms.*/\1 \2/p' \
        "$work/$name/program.log" | awk '{ p += $1; t += $2 } END { if (t) printf "%.1f", p * 1000 / t }')
    stop
    awk -v used="$((after - before))" -v hz="$ticks_per_second" -v s="$seconds" \
        -v name="$name" -v paints="$paints" -v before="$switches_before" \
        -v after="$switches_after" 'BEGIN {
            split(before, b); split(after, a)
            printf "%-18s CPU %.2f s in %d s = %.2f %% of one core; meter repainted %s times/s;\n",
                name, used / hz, s, 100 * used / hz / s, paints
            printf "%-18s main thread woke %.1f times/s, preempted %.1f times/s\n",
                "", (a[1] - b[1]) / s, (a[2] - b[2]) / s
        }'
}

echo "== whole process over $seconds s, a test running on the Test Signal"
echo "   (targets: 2 % at the defaults, 6 % at Sweep 1 s; repaints at most the screen's 60 Hz)"
measure "defaults" ""
measure "sweep-1s" 'Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Hollowden\Tarnwick]
"Sweep"=hex:00,00,00,00,00,00,f0,3f'

# A test on the private server's source "venue" for VENUE_SECONDS, beside
# ffmpeg's loudness meter on the same source: the CPU share of both over the
# first and the last minute.
measure_beside_ffmpeg() {
    local name=$1 settings=$2 total=${VENUE_SECONDS:-300} window peer
    launch "$name" "$settings"
    window=$(meter_window) || { echo "$name: no window"; exit 1; }
    xdotool windowfocus --sync "$window" 2>/dev/null || true
    xdotool key --window "$window" space
    ffmpeg -nostats -hide_banner -f pulse -i venue -af ebur128=peak=true -f null - \
        >"$work/$name/ffmpeg.log" 2>&1 &
    peer=$!
    sleep 5  # past start-up, both measuring
    local ours0 peer0 ours1 peer1 ours2 peer2 ours3 peer3
    ours0=$(cpu_ticks "$program_pid")
    peer0=$(cpu_ticks "$peer")
    sleep 60
    ours1=$(cpu_ticks "$program_pid")
    peer1=$(cpu_ticks "$peer")
    sleep $((total - 120))
    ours2=$(cpu_ticks "$program_pid")
    peer2=$(cpu_ticks "$peer")
    sleep 60
    ours3=$(cpu_ticks "$program_pid")
    peer3=$(cpu_ticks "$peer")
    kill "$peer" 2>/dev/null || true
    wait "$peer" 2>/dev/null || true
    stop
    awk -v name="$name" -v hz="$ticks_per_second" -v o1=$((ours1 - ours0)) \
        -v p1=$((peer1 - peer0)) -v o2=$((ours3 - ours2)) -v p2=$((peer3 - peer2)) 'BEGIN {
            printf "%-18s first minute: ours %.2f %%, ffmpeg %.2f %% of one core\n",
                name, 100 * o1 / hz / 60, 100 * p1 / hz / 60
            printf "%-18s last minute:  ours %.2f %%, ffmpeg %.2f %%; ours against ffmpeg %.2f;" \
                " last minute against the first %.2f\n", "", 100 * o2 / hz / 60,
                100 * p2 / hz / 60, (p2 > 0 ? o2 / p2 : 0), (o1 > 0 ? o2 / o1 : 0)
        }'
}

if command -v ffmpeg >/dev/null && start_sound_server; then
    venue_server=$PULSE_SERVER
    pactl load-module module-sine-source source_name=venue rate=48000 frequency=440 \
        source_properties=device.description=VenueMic >/dev/null
    echo "== a show on a PulseAudio source, ${VENUE_SECONDS:-300} s, beside ffmpeg's EBU R 128 meter"
    header='Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Hollowden\Tarnwick]
"Device Name"="VenueMic"'
    measure_beside_ffmpeg "venue-main" "$header"
    measure_beside_ffmpeg "venue-all-windows" "$header
\"BigNumbers\"=dword:00000001
\"Loudness Window\"=dword:00000001
\"SPL Window\"=dword:00000001"
else
    echo "no ffmpeg or PulseAudio here: the show beside ffmpeg was not measured"
fi

#!/usr/bin/env bash
# Real-time factor of tarnwick-analyse on one hour of stereo audio, results file
# included, beside `sox <file> -n stat` on the same file.
set -euo pipefail
build=${1:-build-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recording="$work/one-hour.wav"
"$build/tools/tarnwick-demo-recording" "$recording" 3600

# The best of three runs, in seconds of wall-clock time.
seconds_of() {
    local best="" start end t
    for _ in 1 2 3; do
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }')
        best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    done
    echo "$best"
}

# Let the new file reach the disk, and keep it in the page cache.
sync
cat "$recording" >/dev/null
analyse=$(seconds_of "$build/tools/tarnwick-analyse" --results "$work/results.csv" --save-mins 1 \
    --start 2026-12-08T09:00:00 "$recording")
sox_time=$(seconds_of sox "$recording" -n stat)
report() {
    awk -v name="$1" -v t="$2" 'BEGIN {
        printf "%s: 1 h of 44100 Hz stereo in %.3f s: %.0f x real time\n", name, t, 3600 / t }'
}
report "tarnwick-analyse (results file included; target 1000 x)" "$analyse"
report "sox stat" "$sox_time"
echo "records written: $(($(wc -l <"$work/results.csv") - 4))"

#!/usr/bin/env bash
# Real-time factor of tarnwick-analyse on one hour of stereo audio, results file
# included, beside `sox <file> -n stat` on the same file.
set -euo pipefail
build=${1:-build-bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
recording="$work/one-hour.wav"
"$build/tools/tarnwick-demo-recording" "$recording" 3600

seconds_of() {
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.6f", b - a }' 
}

# Warm the page cache, then time each once.
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

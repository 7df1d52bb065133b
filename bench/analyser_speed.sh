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

# Loudness: ten minutes of stereo at 48 kHz, the broadcast rate, measured with
# --loudness (true peak included) beside ffmpeg's EBU R 128 meter with true
# peak on the same file, and their integrated loudness side by side.
broadcast="$work/ten-minutes-48k.wav"
sox -n -r 48000 -c 2 -b 16 "$broadcast" synth 600 pinknoise vol 0.3 \
    tremolo 0.2 60 2>/dev/null
sync
cat "$broadcast" >/dev/null
plain=$(seconds_of "$build/tools/tarnwick-analyse" "$broadcast")
loud=$(seconds_of "$build/tools/tarnwick-analyse" --readouts --loudness "$broadcast")
peer=$(seconds_of ffmpeg -nostats -hide_banner -i "$broadcast" -af ebur128=peak=true -f null -)
ours=$("$build/tools/tarnwick-analyse" --readouts --loudness "$broadcast" |
    awk -F'\t' '$1 == "Integrated" { print $2 }')
theirs=$(ffmpeg -nostats -hide_banner -i "$broadcast" -af ebur128=peak=true -f null - 2>&1 |
    awk '$1 == "I:" { v = $2 } END { print v " LUFS" }')
ten_minutes() {
    awk -v name="$1" -v t="$2" 'BEGIN {
        printf "%s: 10 min of 48 kHz stereo in %.3f s: %.0f x real time\n", name, t, 600 / t }'
}
ten_minutes "tarnwick-analyse" "$plain"
ten_minutes "tarnwick-analyse --loudness (target 150 x, faster than ffmpeg)" "$loud"
ten_minutes "ffmpeg -af ebur128=peak=true" "$peer"
echo "integrated loudness: tarnwick-analyse $ours, ffmpeg $theirs"

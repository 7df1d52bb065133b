#!/usr/bin/env bash
# Speed of tarnwick-analyse, side by side with its peers on the same files:
#   - ten minutes of 44100 Hz stereo pink noise beside `sox FILE -n stat`
#     (targets: 5,000 x real time and 3 x sox's speed);
#   - --bands third on the same ten minutes (target: 300 x real time);
#   - ten minutes of 48 kHz stereo, which the meter converts to its rate,
#     beside `sox FILE -n stat` (target: 2 x sox's speed);
#   - the hour-long demo recording (target: 5,000 x real time);
#   - --loudness on ten minutes at 48 kHz beside ffmpeg's EBU R 128 meter with
#     true peak (targets: 300 x real time and 1.2 x ffmpeg's speed);
#   - --loudness-log on one hour and on two (target: two hours in at most 2.3
#     times the time of one: the cost of a reading does not grow with the test);
#   - --spl with its log on the hour-long demo (target: 300 x real time).
# Results files are written as a user would write them (a record a minute).
set -euo pipefail
build=${1:-build-bench}
analyse="$build/tools/tarnwick-analyse"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

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

# Speed of `seconds` of programme done in `t` seconds.
report() {
    awk -v name="$1" -v programme="$2" -v t="$3" 'BEGIN {
        printf "%s: %.3f s, %.0f x real time\n", name, t, programme / t }'
}
ratio() {
    awk -v name="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%s: %.2f\n", name, a / b }'
}
# Lets a new file reach the disk and keeps it in the page cache.
settle() {
    sync
    cat "$@" >/dev/null
}
results() {
    echo --results "$work/results-$1.csv" --save-mins 1 --start 2026-12-08T09:00:00
}

pink="$work/pink-10-minutes.wav"
sox -n -r 44100 -c 2 -b 16 "$pink" synth 600 pinknoise 2>/dev/null
hour="$work/demo-one-hour.wav"
"$build/tools/tarnwick-demo-recording" "$hour" 3600
broadcast="$work/ten-minutes-48k.wav"
sox -n -r 48000 -c 2 -b 16 "$broadcast" synth 600 pinknoise vol 0.3 tremolo 0.2 60 2>/dev/null
two_hours="$work/demo-two-hours.wav"
"$build/tools/tarnwick-demo-recording" "$two_hours" 7200
settle "$pink" "$hour" "$broadcast" "$two_hours"

echo "== 10 min of 44100 Hz stereo pink noise"
ours=$(seconds_of "$analyse" $(results pink) "$pink")
sox_time=$(seconds_of sox "$pink" -n stat)
report "tarnwick-analyse (target 5000 x)" 600 "$ours"
report "sox stat" 600 "$sox_time"
ratio "tarnwick-analyse against sox stat, times as fast (target 3)" "$sox_time" "$ours"
bands=$(seconds_of "$analyse" --bands third "$pink")
report "tarnwick-analyse --bands third (target 300 x)" 600 "$bands"

echo "== 10 min of 48 kHz stereo, converted to the meter's rate"
ours=$(seconds_of "$analyse" --readouts "$broadcast")
sox_time=$(seconds_of sox "$broadcast" -n stat)
report "tarnwick-analyse --readouts" 600 "$ours"
report "sox stat" 600 "$sox_time"
ratio "tarnwick-analyse at 48 kHz against sox stat, times as fast (target 2)" "$sox_time" "$ours"

echo "== the hour-long demo recording"
ours=$(seconds_of "$analyse" $(results hour) "$hour")
report "tarnwick-analyse (target 5000 x)" 3600 "$ours"
echo "records written: $(($(wc -l <"$work/results-hour.csv") - 4))"

echo "== --loudness on 10 min of 48 kHz stereo"
loud=$(seconds_of "$analyse" --loudness "$broadcast")
peer=$(seconds_of ffmpeg -nostats -hide_banner -i "$broadcast" -af ebur128=peak=true -f null -)
report "tarnwick-analyse --loudness (target 300 x)" 600 "$loud"
report "ffmpeg -af ebur128=peak=true" 600 "$peer"
ratio "tarnwick-analyse --loudness against ffmpeg, times as fast (target 1.2)" "$peer" "$loud"
ours=$("$analyse" --loudness "$broadcast" | awk -F'\t' '$1 == "Integrated" { print $2 }')
theirs=$(ffmpeg -nostats -hide_banner -i "$broadcast" -af ebur128=peak=true -f null - 2>&1 |
    awk '$1 == "I:" { v = $2 } END { print v " LUFS" }')
echo "integrated loudness: tarnwick-analyse $ours, ffmpeg $theirs"

echo "== --loudness-log on one and two hours"
one=$(seconds_of "$analyse" --loudness-log "$work/one.csv" "$hour")
two=$(seconds_of "$analyse" --loudness-log "$work/two.csv" "$two_hours")
report "one hour" 3600 "$one"
report "two hours" 7200 "$two"
ratio "two hours against one (target at most 2.3)" "$two" "$one"

echo "== --spl on the hour-long demo recording"
spl=$(seconds_of "$analyse" --spl --spl-sensitivity 100 --spl-log "$work/spl.csv" "$hour")
report "tarnwick-analyse --spl --spl-log (target 300 x)" 3600 "$spl"

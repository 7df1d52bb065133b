#!/bin/bash
# The desktop program end to end on a virtual screen, as a new user meets it:
# a fresh settings file and documents folder, no sound server (so the meter
# listens to its built-in "Test Signal"). Space starts a test; after a few
# seconds the graph must hold a trace in the peak colour and the readouts must
# show figures that move; C must write a JPEG snapshot into the documents
# folder. L must open the loudness window, whose figures move while the test
# runs and where C writes a picture of that window beside the meter's. P must
# open the sound level window, whose figures move too.
# Closing from the File menu, or by SIGTERM as when the session ends, must
# store the window state, the loudness window's included.
#
# Usage: desktop_program_test.sh PROGRAM
set -euo pipefail
source "$(dirname "$0")/virtual_screen.sh"

program=$1
work=$(mktemp -d)
xvfb_pid=
program_pid=

trap end_run EXIT

# The number of pixels of `colour` in a region (W H X Y) of a picture.
count_colour() {
    convert "$1" -crop "$3x$4+$5+$6" +repage -fill black +opaque "$2" -fill white -opaque "$2" \
        -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}

# The number of dark (text) pixels in a region (W H X Y) of a picture.
count_dark() {
    convert "$1" -crop "$2x$3+$4+$5" +repage -colorspace Gray -threshold 40% -negate \
        -format '%[fx:round(mean*w*h)]' info:
}

start_virtual_screen || fail "Xvfb did not start"
new_user_environment "$work"

"$program" >"$work/program.log" 2>&1 &
program_pid=$!
window=$(meter_window) || fail "the meter window did not appear"

xdotool windowfocus --sync "$window" || true
xdotool key --window "$window" space
sleep 4
import -window "$window" "$work/running.png"
sleep 1.5
import -window "$window" "$work/later.png"

# The graph area, well inside the frame of the picture.
peak_colour='#5AFA64'
trace=$(count_colour "$work/running.png" "$peak_colour" 480 360 70 100)
[ "$trace" -ge 100 ] || fail "the graph holds $trace pixels of the peak colour"

# The readouts in the lower panel: the peak level and the run time, whose
# figures must change while the test runs.
peak_text=$(count_dark "$work/running.png" 100 20 67 616)
run_time_text=$(count_dark "$work/running.png" 100 20 67 688)
[ "$peak_text" -ge 15 ] || fail "the peak readout shows no figures ($peak_text dark pixels)"
[ "$run_time_text" -ge 15 ] || fail "the run time shows no figures ($run_time_text dark pixels)"
convert "$work/running.png" -crop 100x20+67+688 +repage "$work/run-time-1.png"
convert "$work/later.png" -crop 100x20+67+688 +repage "$work/run-time-2.png"
changed=$(compare -metric AE "$work/run-time-1.png" "$work/run-time-2.png" null: 2>&1 || true)
[ "${changed%% *}" != 0 ] || fail "the run time did not move while the test ran"

# C writes a snapshot of the meter picture into the documents folder.
xdotool key --window "$window" c
snapshot=
for _ in $(seq 50); do
    snapshot=$(find "$HOME/Documents/Tarnwick" -name '*.jpg' 2>/dev/null | head -n 1)
    [ -n "$snapshot" ] && break
    sleep 0.1
done
[ -n "$snapshot" ] || fail "no JPEG in the snapshot folder after C"
sleep 0.5  # written through a temporary file and renamed: complete once seen
[ "$(identify -format '%m %wx%h' "$snapshot")" = "JPEG 582x406" ] ||
    fail "the snapshot is not a 582x406 JPEG: $(identify "$snapshot")"

# L opens the loudness window. Its figures and graph must move while the test
# runs; C in it saves a picture of just that window.
xdotool key --window "$window" l
loudness=$(timeout 10 xdotool search --sync --onlyvisible --name '^Loudness$' | head -n 1) ||
    fail "L opened no window titled Loudness"
# It opens where the meter window is; moved aside, it must come back there.
xdotool windowmove --sync "$loudness" 700 40
sleep 0.5
import -window "$loudness" "$work/loudness-1.png"
sleep 1.5
import -window "$loudness" "$work/loudness-2.png"
changed=$(compare -metric AE "$work/loudness-1.png" "$work/loudness-2.png" null: 2>&1 || true)
[ "${changed%% *}" != 0 ] || fail "the loudness window did not move while the test ran"
xdotool windowfocus --sync "$loudness" || true
xdotool key --window "$loudness" c
loudness_snapshot=
for _ in $(seq 50); do
    loudness_snapshot=$(find "$HOME/Documents/Tarnwick" -name 'Loudness *.jpg' | head -n 1)
    [ -n "$loudness_snapshot" ] && break
    sleep 0.1
done
[ -n "$loudness_snapshot" ] || fail "no \"Loudness ...\" JPEG in the snapshot folder after C"
sleep 0.5
loudness_size=$(xwininfo -id "$loudness" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$(identify -format '%m %wx%h' "$loudness_snapshot")" = "JPEG $loudness_size" ] ||
    fail "the loudness snapshot is not a $loudness_size JPEG: $(identify "$loudness_snapshot")"
xdotool windowfocus --sync "$window" || true

# P opens the sound level window, whose figures and graph move while the test
# runs; it is remembered as shown.
xdotool key --window "$window" p
sound_level=$(timeout 10 xdotool search --sync --onlyvisible --name '^Sound Level$' | head -n 1) ||
    fail "P opened no window titled Sound Level"
sleep 0.5
import -window "$sound_level" "$work/sound-level-1.png"
sleep 1.5
import -window "$sound_level" "$work/sound-level-2.png"
changed=$(compare -metric AE "$work/sound-level-1.png" "$work/sound-level-2.png" null: 2>&1 || true)
[ "${changed%% *}" != 0 ] || fail "the sound level window did not move while the test ran"
xdotool windowfocus --sync "$window" || true

# Close from the File menu: its last item is "Exit program".
xdotool mousemove --window "$window" 20 9 click 1
sleep 0.5
xdotool key Up Return
wait_for_exit 100 "after Exit program"

settings="$XDG_CONFIG_HOME/Hollowden/Tarnwick.reg"
[ -f "$settings" ] || fail "no settings file"
for name in left top width height View; do
    grep -q "^\"$name\"=dword:" "$settings" || fail "the settings file lacks \"$name\""
done
grep -q '^"width"=dword:000002a6$' "$settings" || fail "the stored width is not 678"
grep -q '^"View"=dword:00000003$' "$settings" || fail "the stored view is not Full Display"
grep -q '^"SPL Window"=dword:00000001$' "$settings" || fail "the sound level window is not stored as shown"

# Again, and ended by the session (SIGTERM) after V made the view Compact: the
# window closes the normal way and the new view is stored. The loudness window,
# left open, comes back with the meter.
"$program" >>"$work/program.log" 2>&1 &
program_pid=$!
window=$(meter_window) || fail "the meter window did not appear a second time"
loudness=$(timeout 10 xdotool search --sync --onlyvisible --name '^Loudness$' | head -n 1) ||
    fail "the loudness window left open did not come back"
place=$(xwininfo -id "$loudness" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4}
                                       END{print x "," y}')
[ "$place" = "700,40" ] || fail "the loudness window came back at $place, not where it was left"
xdotool windowfocus --sync "$window" || true
xdotool key --window "$window" v
sleep 0.5
kill -TERM "$program_pid"
wait_for_exit 100 "after SIGTERM"
grep -q '^"View"=dword:00000001$' "$settings" || fail "SIGTERM lost the window state"
echo "PASS: trace $trace px, readouts $peak_text and $run_time_text px, snapshots $(basename "$snapshot")" \
    "and $(basename "$loudness_snapshot")"

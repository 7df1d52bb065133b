#!/bin/bash
# The program under a real window manager (openbox on Xvfb), as a new user
# meets it: default settings, so the main window stays on top. Every kind of
# dialog it opens must come up above the main window and the numeric window,
# with the keyboard focus, under the window's exact title; closing it must
# give the focus back to the meter. Enter in a field of the setup window does
# only what the field does, and the window manager's maximise leaves the main
# window as it is. SIGTERM ends the program within a second even while a
# message or the Save As dialog stands open.
#
# Then what the operator needs stays in view and the keys stay the meter's: a
# message from the start comes up above the main window; the numeric window,
# left open, neither takes the focus at the start (Space starts a test) nor
# sinks below the main window at a click on the meter; Alt+F opens the File
# menu and leaves the results file attached. On a 1024x768 screen the main
# and Loudness windows open inside it, and at 1024x768 and 1920x1080 the side
# windows open where they can all be read. At 200 % the main window and
# Program Setup fit the screen.
#
# Usage: window_manager_test.sh PROGRAM
set -euo pipefail
source "$(dirname "$0")/virtual_screen.sh"

program=$1
work=$(mktemp -d)
xvfb_pid=
program_pid=
wm_pid=

trap end_run EXIT

on_failure() {
    echo "--- stacking, bottom to top:"
    stacking_list
    import -window root "$work/screen.png"
}

# The managed windows from bottom to top, as "0x... title" lines.
stacking_list() {
    local id
    for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //; s/,//g'); do
        printf '%s %s\n' "$(printf '0x%x' "$id")" "$(title_of "$id")"
    done
}

title_of() {
    xprop -id "$1" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'
}

active_window() {
    printf '0x%x' "$(xprop -root _NET_ACTIVE_WINDOW | sed 's/.*# //; s/,.*//')"
}

# The window titled exactly $1 once it is the active window; waits up to 10 s.
wait_active() {
    local id
    for _ in $(seq 100); do
        id=$(active_window)
        if [ "$(title_of "$id")" = "$1" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

# Checks that window $1 is stacked above every window given after it.
expect_stacked_above() {
    local window=$1 position below_position
    shift
    position=$(stacking_list | grep -n "^$window " | cut -d: -f1)
    for below in "$@"; do
        below_position=$(stacking_list | grep -n "^$below " | cut -d: -f1)
        [ -n "$below_position" ] || fail "window $below is not managed"
        [ "$position" -gt "$below_position" ] ||
            fail "\"$(title_of "$window")\" opened below \"$(title_of "$below")\""
    done
    opened=$((opened + 1))
}

# Sends key $1 to the main window until a window titled $2 is active, three
# times at most: just after the window manager has activated the main window,
# the toolkit may not yet have the focus, and a key sent then goes nowhere.
key_for() {
    local tries
    for tries in 1 2 3; do
        xdotool key --window "$main" "$1"
        for _ in $(seq 30); do
            [ "$(title_of "$(active_window)")" = "$2" ] && return 0
            sleep 0.1
        done
    done
    return 0  # expect_on_top says what is wrong
}

# Checks that the dialog titled $1 is active and stacked above every window
# given after it.
expect_on_top() {
    local dialog
    dialog=$(wait_active "$1") || fail "\"$1\" is not the active window"
    shift
    expect_stacked_above "$dialog" "$@"
}

# Closes the active dialog with Escape; the main window must have the focus
# again.
close_dialog() {
    xdotool key Escape
    wait_active "Tarnwick  V.1.40" >/dev/null || fail "closing \"$1\" did not return to the meter"
}

# A click at ($2, $3) within window $1.
click_at() {
    xdotool mousemove --window "$1" "$2" "$3" click 1
}

# Opens menu $2 of window $1 (its title at x = $3) and takes the item $4
# steps down (Up when negative).
menu_item() {
    local steps=$4 key=Down
    click_at "$1" "$3" 10
    sleep 0.3
    if [ "$steps" -lt 0 ]; then
        key=Up
        steps=$((-steps))
    fi
    for _ in $(seq "$steps"); do
        xdotool key "$key"
    done
    xdotool key Return
}

# Starts the program; the meter window must come up with the focus, even
# with a window left open beside it.
start_program() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    main=$(meter_window) || fail "the meter window did not appear"
    main=$(printf '0x%x' "$main")
    wait_active "Tarnwick  V.1.40" >/dev/null || fail "the meter window did not take the focus"
}

# A settings file holding only the values given, as '"Name"=value' lines.
write_settings() {
    mkdir -p "$(dirname "$settings")"
    {
        printf 'Windows Registry Editor Version 5.00\n\n'
        printf '[HKEY_CURRENT_USER\\Software\\Hollowden\\Tarnwick]\n'
        printf '%s\n' "$@"
    } >"$settings"
}

# The window titled exactly $1; waits up to 10 s for it to show.
window_titled() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1)
        [ -n "$id" ] && printf '0x%x\n' "$id" && return 0
        sleep 0.1
    done
    return 1
}

# The outer bounds of window $1, frame included, as "left top right bottom"
# (right and bottom exclusive).
frame_of() {
    local extents
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')
    xwininfo -id "$1" | awk -v e="$extents" '
        /Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2}
        END{split(e, f, " "); print x - f[1], y - f[3], x + w + f[2], y + h + f[4]}'
}

# Checks that window $1 (called $2) lies inside a screen of $3 x $4 pixels.
expect_inside() {
    local left top right bottom
    read -r left top right bottom < <(frame_of "$1")
    [ "$left" -ge 0 ] && [ "$top" -ge 0 ] && [ "$right" -le "$3" ] && [ "$bottom" -le "$4" ] ||
        fail "$2 lies at ($left, $top)-($right, $bottom), beyond the $3x$4 screen"
}

# The number of pixels of the Stop button's red square in the main window.
stop_pixels() {
    import -window "$main" "$work/main.png"
    convert "$work/main.png" -crop "40x30+530+$((menu_bar + 494))" +repage -fuzz 12% \
        -fill black +opaque '#e8362b' -fill white -opaque '#e8362b' \
        -colorspace Gray -format '%[fx:round(mean*w*h)]' info:
}

# Sends SIGTERM; the program must end with status 0 within a second.
expect_end_on_sigterm() {
    kill -TERM "$program_pid"
    wait_for_exit 10 "within a second of SIGTERM $1"
}

start_virtual_screen || fail "Xvfb did not start"
new_user_environment "$work"
settings="$XDG_CONFIG_HOME/Hollowden/Tarnwick.reg"
start_window_manager || fail "openbox did not start"
opened=0

start_program
[ "$(title_of "$main")" = "Tarnwick  V.1.40" ] || fail "main window title '$(title_of "$main")'"
xprop -id "$main" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE ||
    fail "the main window is not on top with the default settings"
# The window manager's maximise leaves the window at its size.
wmctrl -i -r "$main" -b add,maximized_vert,maximized_horz
sleep 0.5
width=$(xwininfo -id "$main" | sed -n 's/^ *Width: //p')
[ "$width" = 678 ] || fail "maximised, the main window is $width wide"
# The menu bar lies above the client area of the Full Display view.
menu_bar=$(($(xwininfo -id "$main" | sed -n 's/^ *Height: //p') - 722))

# The numeric window, from the View menu: above the main window, which keeps
# the focus.
menu_item "$main" View 170 4
numeric=$(window_titled "Peak Level dB") || fail "the numeric window did not open"
xdotool windowactivate --sync "$main"

key_for s "Save As"
expect_on_top "Save As" "$main" "$numeric"
close_dialog "Save As"

menu_item "$main" File 20 4  # Choose Snapshot Folder...; its title is the toolkit's
for _ in $(seq 100); do
    [ "$(active_window)" != "$main" ] && break
    sleep 0.1
done
folder_dialog=$(active_window)
[ "$folder_dialog" != "$main" ] || fail "the folder dialog did not open"
expect_stacked_above "$folder_dialog" "$main" "$numeric"
close_dialog "the folder dialog"

# A message: the snapshot folder is gone when C takes a picture.
rm -rf "$HOME/Documents/Tarnwick"
key_for c " Calvenor"
expect_on_top " Calvenor" "$main" "$numeric"
close_dialog " Calvenor"

click_at "$main" 216 $((menu_bar + 19))  # TBresults
expect_on_top "Results Setup" "$main" "$numeric"
results=$(active_window)
read -r x y w h < <(xwininfo -id "$results" |
    awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width/{w=$2} /Height/{h=$2}
         END{print x, y, w, h}')
centre_x=$((x + w / 2))
[ "$centre_x" -ge 620 ] && [ "$centre_x" -le 660 ] || fail "Results Setup is not centred ($x, $w)"
close_dialog "Results Setup"

menu_item "$main" Help 240 -1  # About Tarnwick
expect_on_top "About" "$main" "$numeric"
close_dialog "About"

click_at "$main" 264 $((menu_bar + 19))  # TBsetup
expect_on_top "Ombrix Setup" "$main" "$numeric"
setup=$(active_window)
# Enter in the sweep field does what the field does, and nothing else: no
# colour dialog, and the dialog stays open.
click_at "$setup" 405 226
xdotool key End Return
sleep 0.5
[ "$(active_window)" = "$setup" ] || fail "Enter in the sweep field left the setup window"
xdotool search --name '^Select Color$' >/dev/null 2>&1 && fail "Enter opened the colour dialog"
# The background block's colour dialog, over the setup window.
click_at "$setup" 40 370
expect_on_top "Select Color" "$setup" "$main" "$numeric"
xdotool key Escape
wait_active "Ombrix Setup" >/dev/null || fail "the colour dialog did not return to the setup window"
# The lock prompt.
click_at "$setup" 105 535
expect_on_top "LOCK Settings" "$setup" "$main" "$numeric"
xdotool key Escape
wait_active "Ombrix Setup" >/dev/null || fail "the lock prompt did not return to the setup window"
close_dialog "Ombrix Setup"

# No title carries the application's name after it.
if stacking_list | grep -q ' — '; then
    fail "a title has the application's name appended"
fi

# SIGTERM while a message stands open...
key_for c " Calvenor"
expect_on_top " Calvenor" "$main"
expect_end_on_sigterm "with a message open"

# ... and while the Save As dialog is open.
start_program
key_for s "Save As"
expect_on_top "Save As" "$main"
expect_end_on_sigterm "with the Save As dialog open"

# A stored input that is gone (a USB microphone unplugged): the message at the
# start comes up above the main window, with the focus.
write_settings '"Device Name"="USB Microphone"'
"$program" >>"$work/program.log" 2>&1 &
program_pid=$!
main=$(meter_window) || fail "the meter window did not appear"
main=$(printf '0x%x' "$main")
expect_on_top "Tarnwick Error" "$main"
xdotool key Return
wait_active "Tarnwick  V.1.40" >/dev/null || fail "the start-up message did not return to the meter"
expect_end_on_sigterm "after the start-up message"

# The numeric window left open and a results file attached: the meter keeps
# the focus at the start, so Space starts a test.
touch "$HOME/hall.csv"
write_settings '"BigNumbers"=dword:00000001' '"NumLeft"=dword:00000064' \
    '"NumTop"=dword:00000064' '"File Open"=dword:00000001' "\"Filename\"=\"$HOME/hall.csv\""
start_program
numeric=$(window_titled "Peak Level dB") || fail "the numeric window left open did not come back"
sleep 0.5
[ "$(active_window)" = "$main" ] || fail "the numeric window took the focus at the start"
[ "$(stop_pixels)" -lt 20 ] || fail "a test runs before Space"
xdotool key space
for _ in $(seq 20); do
    [ "$(stop_pixels)" -ge 100 ] && break
    sleep 0.1
done
[ "$(stop_pixels)" -ge 100 ] || fail "Space at the start did not start a test"
# A click on the meter picture leaves the numeric window above the meter.
click_at "$main" 300 $((menu_bar + 250))
sleep 0.5
expect_stacked_above "$numeric" "$main"
# Alt+F opens the File menu; the results file stays attached.
xdotool key alt+f
sleep 0.5
xdotool key Escape
sleep 0.3
grep -q '^"File Open"=dword:00000001$' "$settings" || fail "Alt+F detached the results file"
expect_end_on_sigterm "with the numeric window open"

# A 1024x768 screen, and windows stored where they were on a larger one: the
# main and Loudness windows open inside it.
end_program_and_screen
start_virtual_screen 1024x768 || fail "Xvfb did not start at 1024x768"
start_window_manager || fail "openbox did not start on the small screen"
write_settings '"left"=dword:000000c8' '"top"=dword:000000c8' '"Loudness Window"=dword:00000001' \
    '"LoudLeft"=dword:00000370' '"LoudTop"=dword:00000190' '"LoudWidth"=dword:00000168' \
    '"LoudHeight"=dword:0000012c'
start_program
loudness=$(window_titled "Loudness") || fail "the Loudness window left open did not come back"
sleep 0.5
expect_inside "$main" "the main window" 1024 768
expect_inside "$loudness" "the Loudness window" 1024 768
expect_stacked_above "$loudness" "$main"
expect_end_on_sigterm "on the small screen"

# The three side windows left open, no place stored: they open where each can
# be read, on the small screen over the meter but clear of its menus and tool
# bar, on a large one beside it.
side_windows_apart() {
    local size=$1 width=${1%x*} height=${1#*x} windows names i j
    end_program_and_screen
    start_virtual_screen "$size" || fail "Xvfb did not start at $size"
    start_window_manager || fail "openbox did not start at $size"
    write_settings '"BigNumbers"=dword:00000001' '"Loudness Window"=dword:00000001' \
        '"SPL Window"=dword:00000001'
    start_program
    windows=("$main")
    names=("the main window")
    for title in "Peak Level dB" "Loudness" "Sound Level"; do
        windows+=("$(window_titled "$title")") || fail "the $title window did not come back"
        names+=("the $title window")
    done
    sleep 0.5
    local -a frames
    for i in 0 1 2 3; do
        expect_inside "${windows[$i]}" "${names[$i]}" "$width" "$height"
        frames[i]=$(frame_of "${windows[$i]}")
    done
    local main_left main_top main_right _
    read -r main_left main_top main_right _ <<<"${frames[0]}"
    # The first row below the tool bar, 38 px under the menu bar.
    local client_top
    client_top=$(xwininfo -id "$main" | sed -n 's/.*Absolute upper-left Y: *//p')
    local tools_bottom=$((client_top + menu_bar + 38))
    for i in 1 2 3; do
        local l t r b
        read -r l t r b <<<"${frames[$i]}"
        if [ "$width" -ge 1920 ]; then
            [ "$l" -ge "$main_right" ] || [ "$r" -le "$main_left" ] ||
                fail "at $size ${names[$i]} ($l $t $r $b) covers the main window (${frames[0]})"
        fi
        [ "$l" -ge "$main_right" ] || [ "$r" -le "$main_left" ] || [ "$t" -ge "$tools_bottom" ] ||
            fail "at $size ${names[$i]} covers the main window's menus or tool bar"
        for j in 1 2 3; do
            [ "$j" -gt "$i" ] || continue
            local l2 t2 r2 b2
            read -r l2 t2 r2 b2 <<<"${frames[$j]}"
            [ "$r" -le "$l2" ] || [ "$r2" -le "$l" ] || [ "$b" -le "$t2" ] || [ "$b2" -le "$t" ] ||
                fail "at $size ${names[$i]} and ${names[$j]} cover each other"
        done
    done
    expect_end_on_sigterm "with the side windows open at $size"
}
side_windows_apart 1024x768
side_windows_apart 1920x1080

# At 200 % on 1920x1080 the main window and Program Setup fit the screen:
# what does not fit scrolls.
end_program_and_screen
start_virtual_screen 1920x1080 || fail "Xvfb did not start at 1920x1080"
start_window_manager || fail "openbox did not start at 200 %"
write_settings
QT_SCALE_FACTOR=2 start_program
expect_inside "$main" "the main window at 200 %" 1920 1080
click_at "$main" 528 $((2 * menu_bar + 38))  # TBsetup
setup=$(wait_active "Ombrix Setup") || fail "Program Setup did not open at 200 %"
expect_inside "$setup" "Program Setup at 200 %" 1920 1080
expect_end_on_sigterm "at 200 %"

# An input unplugged during a test and plugged in again: its notice comes up
# once above the meter without taking the keys from it, the program goes on,
# measuring resumes when the input is back, and the notice goes by itself.
if start_sound_server; then
    plug_in() {
        pactl load-module module-sine-source source_name=mic rate=44100 frequency=440 \
            source_properties=device.description=StudioMic
    }
    # The meter picture, as a checksum.
    picture() {
        kill -0 "$program_pid" 2>/dev/null || fail "the program ended when its input went away"
        timeout 10 import -window "$main" -crop "582x406+50+$((menu_bar + 60))" +repage \
            "$work/pic.png" || fail "the meter window is gone"
        md5sum <"$work/pic.png"
    }
    # Whether the picture changes within 5 s: this server's source delivers
    # its audio in bursts up to 2 s apart.
    measuring() {
        local before
        before=$(picture)
        for _ in $(seq 10); do
            sleep 0.5
            [ "$(picture)" != "$before" ] && return 0
        done
        return 1
    }
    module=$(plug_in)
    write_settings '"Device Name"="StudioMic"'
    start_program
    xdotool key space
    measuring || fail "the meter does not measure the input"
    pactl unload-module "$module"
    notice=$(window_titled "Tarnwick Error") || fail "no notice of the lost input"
    expect_stacked_above "$notice" "$main"
    [ "$(title_of "$(active_window)")" = "Tarnwick  V.1.40" ] ||
        fail "the lost input's notice took the keys from the meter"
    sleep 1
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended when its input went away"
    measuring && fail "the meter shows a moving picture without an input"
    plug_in >/dev/null
    # Tried again every 5 s: back within 10.
    measuring || measuring || fail "measuring did not resume when the input came back"
    sleep 0.5
    xdotool search --onlyvisible --name "^Tarnwick Error\$" >/dev/null &&
        fail "the lost input's notice stands after the input is back"
    expect_end_on_sigterm "after the input came back"
else
    echo "no PulseAudio here: the unplugged input was not tried"
fi

echo "PASS: $opened windows opened above the windows they serve, inside the screen; SIGTERM" \
    "ended the program each time"

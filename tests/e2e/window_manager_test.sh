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

start_program() {
    "$program" >>"$work/program.log" 2>&1 &
    program_pid=$!
    main=$(meter_window) || fail "the meter window did not appear"
    main=$(printf '0x%x' "$main")
    # The numeric window, when it was left open, takes the focus as it opens.
    sleep 0.5
    xdotool windowactivate --sync "$main" 2>/dev/null || true
    wait_active "Tarnwick  V.1.40" >/dev/null || fail "the meter window did not take the focus"
}

# Sends SIGTERM; the program must end with status 0 within a second.
expect_end_on_sigterm() {
    kill -TERM "$program_pid"
    wait_for_exit 10 "within a second of SIGTERM $1"
}

start_virtual_screen || fail "Xvfb did not start"
new_user_environment "$work"
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
done
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

# The numeric window, itself on top, from the View menu.
menu_item "$main" View 170 4
numeric=$(wait_active "Peak Level dB") || fail "the numeric window did not open"
xdotool windowactivate --sync "$main"

xdotool key --window "$main" s
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
xdotool key --window "$main" c
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
xdotool key --window "$main" c
expect_on_top " Calvenor" "$main"
expect_end_on_sigterm "with a message open"

# ... and while the Save As dialog is open.
start_program
xdotool key --window "$main" s
expect_on_top "Save As" "$main"
expect_end_on_sigterm "with the Save As dialog open"

echo "PASS: $opened dialogs opened above their windows; SIGTERM ended the program each time"

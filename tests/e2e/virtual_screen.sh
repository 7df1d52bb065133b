# Sourced by the scripts that run the desktop program on a virtual screen.
# Needs: Xvfb, and a variable `work` naming a scratch folder the caller owns.

# Ends the program (`program_pid`) and the screen (`xvfb_pid`) where they run;
# for the callers' exit traps.
end_program_and_screen() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}

# Starts Xvfb on a free display number, exports DISPLAY and sets xvfb_pid.
# Returns non-zero when no screen could be started.
start_virtual_screen() {
    local n display=
    for n in $(seq 90 189); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            display=$n
            break
        fi
    done
    [ -n "$display" ] || return 1
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -e "/tmp/.X11-unix/X$display" ] && break
        sleep 0.1
    done
    [ -e "/tmp/.X11-unix/X$display" ] || return 1
    export DISPLAY=":$display"
}

# A new user of the program in `$1`: an empty home with no documents folder
# yet, no settings, a private runtime folder and no sound server, so that the
# meter listens to its built-in "Test Signal".
new_user_environment() {
    export HOME="$1/home"
    export XDG_CONFIG_HOME="$1/config"
    export XDG_RUNTIME_DIR="$1/run"
    export PULSE_SERVER="unix:$1/no-sound-server"
    unset XDG_DOCUMENTS_DIR QT_QPA_PLATFORM
    mkdir -p "$HOME" "$XDG_CONFIG_HOME"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# The meter window of the first running copy; waits up to 60 s for it.
meter_window() {
    timeout 60 xdotool search --sync --onlyvisible --name '^Tarnwick  V\.1\.40$' | head -n 1
}

# Sourced by the scripts that run the desktop program on a virtual screen.
# Needs: Xvfb, and a variable `work` naming a scratch folder the caller owns.

# Ends the program (`program_pid`), a window manager (`wm_pid`) and the screen
# (`xvfb_pid`) where they run.
end_program_and_screen() {
    [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
    [ -n "${sound_server_pid:-}" ] && kill "$sound_server_pid" 2>/dev/null || true
    [ -n "${wm_pid:-}" ] && kill "$wm_pid" 2>/dev/null || true
    [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
}

# For the callers' exit traps: ends what runs and removes the scratch folder,
# unless a failure asked to keep it.
end_run() {
    end_program_and_screen
    if [ "${keep_work:-}" = 1 ]; then
        echo "files kept in $work"
    else
        rm -rf "$work"
    fi
}

# Waits up to $1 tenths of a second for the program (`program_pid`) to end,
# which it must do with status 0; $2 says after what.
wait_for_exit() {
    for _ in $(seq "$1"); do
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$program_pid" 2>/dev/null && fail "the program did not end $2"
    local status=0
    wait "$program_pid" || status=$?
    program_pid=
    [ "$status" = 0 ] || fail "the program ended with status $status $2"
}

# Says why the test failed, then what the caller's `on_failure` adds, if it has
# one, and the program's output; keeps the scratch folder and exits.
fail() {
    echo "FAIL: $*"
    if [ "$(type -t on_failure)" = function ]; then
        on_failure || true
    fi
    echo "--- program output:"
    cat "$work/program.log" 2>/dev/null || true
    keep_work=1
    exit 1
}

# Starts Xvfb on a free display number, exports DISPLAY and sets xvfb_pid. The
# screen is $1 (WIDTHxHEIGHT) pixels, 1280x1024 without it. Returns non-zero
# when no screen could be started. Xvfb picks the number itself and names it
# only once it takes connections, so two tests starting at once never share a
# screen and nothing connects before the screen is there.
start_virtual_screen() {
    local size=${1:-1280x1024} display=
    rm -f "$work/display"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$work/display" \
        >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 200); do
        display=$(head -n 1 "$work/display" 2>/dev/null || true)
        [ -n "$display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || return 1
        sleep 0.1
    done
    [ -n "$display" ] || return 1
    export DISPLAY=":$display"
}

# Starts openbox on the screen and sets wm_pid; returns once it manages
# windows. An openbox that ends before that is started again, twice at most;
# then this returns non-zero with what openbox printed.
start_window_manager() {
    for _ in 1 2 3; do
        openbox --sm-disable >>"$work/openbox.log" 2>&1 &
        wm_pid=$!
        for _ in $(seq 100); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
            kill -0 "$wm_pid" 2>/dev/null || break
            sleep 0.1
        done
        kill "$wm_pid" 2>/dev/null || true
    done
    echo "--- openbox output:"
    cat "$work/openbox.log"
    return 1
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

# A PulseAudio of the test's own in "$work/pulse", with no device until the
# test loads one, and PULSE_SERVER pointing at it; sets sound_server_pid.
# Returns non-zero when none can start here.
start_sound_server() {
    local dir=$work/pulse
    command -v pulseaudio >/dev/null && command -v pactl >/dev/null || return 1
    mkdir -p "$dir/runtime" "$dir/state"
    HOME=$dir XDG_RUNTIME_DIR=$dir XDG_CONFIG_HOME=$dir PULSE_RUNTIME_PATH=$dir/runtime \
        PULSE_STATE_PATH=$dir/state DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/no-bus \
        pulseaudio --daemonize=no -n --exit-idle-time=-1 --system=no --use-pid-file=no \
        --log-target=stderr \
        -L "module-native-protocol-unix auth-anonymous=1 socket=$dir/native" \
        -L "module-null-sink sink_name=out" >"$work/pulse.log" 2>&1 </dev/null &
    sound_server_pid=$!
    export PULSE_SERVER="unix:$dir/native"
    for _ in $(seq 100); do
        pactl info >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

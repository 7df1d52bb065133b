#!/bin/bash
# `cmake --install --prefix P` puts the logger's systemd user unit under
# P/lib/systemd/user, starting the program installed under P, as a service
# that reports ready, is watched and is not restarted after bad options;
# systemd-analyze accepts the file without a remark. Where systemd-analyze is missing, the rest is still checked.
#
# Usage: logger_unit_install_test.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
trap 'echo "FAILED: line $LINENO: $BASH_COMMAND" >&2' ERR

cmake --install "$build" --prefix "$prefix" >/dev/null
unit=$prefix/lib/systemd/user/tarnwick-logger.service
[ -f "$unit" ] || fail "no unit at $unit"
[ -x "$prefix/bin/tarnwick-logger" ] || fail "no program at $prefix/bin/tarnwick-logger"
exec_start=$(grep '^ExecStart=' "$unit") || fail "the unit has no ExecStart: $(wc -c <"$unit") bytes"
case "$exec_start" in
"ExecStart=$prefix/bin/tarnwick-logger "*) ;;
*) fail "the unit starts a program outside $prefix: $exec_start" ;;
esac
grep -qx 'Type=notify' "$unit" || fail "the unit is not Type=notify"
grep -qx 'WatchdogSec=30' "$unit" || fail "the unit has no 30 s watchdog"
grep -qx 'RestartPreventExitStatus=2' "$unit" || fail "bad options would restart the unit for ever"

if command -v systemd-analyze >/dev/null; then
    mkdir -m 700 "$prefix/run"
    remarks=$(XDG_RUNTIME_DIR=$prefix/run HOME=$prefix \
        systemd-analyze --user verify "$unit" 2>&1) || fail "systemd-analyze: $remarks"
    [ -z "$remarks" ] || fail "systemd-analyze: $remarks"
else
    echo "systemd-analyze is missing: the unit's syntax is not verified"
fi
echo "the unit installs under $prefix and verifies"

#!/usr/bin/env bash
# Shows that scripts/check-layers.sh catches what it is there to catch.
#
# In a copy of this checkout it plants includes that break the layering, in
# every spelling the check promises to see through, and runs the check on the
# copy with the compile commands of BUILD_DIR. Every plant must be reported and
# nothing else: the rest of the copy is the checkout as it is, so a report that
# no plant explains is a fault of the checkout or of the check.
#
# Then it makes a shadow of BUILD_DIR (its files empty but with their times,
# except what Ninja reads) stale in each way a build goes stale, and the check
# must stop and ask for a build (exit status 2) each time: an object older than
# its source, as when an edit with an upward include has not been rebuilt yet;
# a build.ninja older than its CMakeLists.txt; a file added where the build
# globs for sources; and a build of another checkout.
#
# The real checkout and BUILD_DIR are only read. Usage:
#   scripts/check-layers-probe.sh [BUILD_DIR]   (default: build; built and current)
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd -P)

# The shadow lies beside BUILD_DIR, where the paths Ninja recorded relative to
# it (../core/level_math.cpp) lead to the same files.
scratch=$(mktemp -d)
shadow=$(mktemp -d "$build.probe.XXXXXX")
trap 'rm -rf "$scratch" "$shadow"' EXIT
copy=$scratch/checkout
mkdir "$copy"
git ls-files -z --cached --others --exclude-standard |
    tar --null --ignore-failed-read -T - -cf - | tar -C "$copy" -xf -
cp -a --attributes-only "$build/." "$shadow"
for file in build.ninja CMakeCache.txt .ninja_log .ninja_deps CMakeFiles/VerifyGlobs.cmake \
    $(sed -nE 's/^(include|subninja) //p' "$build/build.ninja"); do
    [[ ! -f $build/$file ]] || cp -p "$build/$file" "$shadow/$file"
done

indent() { sed 's/^/  /'; }

failures=0
fail() {
    echo "check-layers-probe: $*" >&2
    failures=$((failures + 1))
}

# plant FILE PATTERN LINE...: appends the lines to FILE of the copy (a new file
# if it has none) and expects a report matching PATTERN (extended regex).
expected=()
plant() {
    local file=$1 pattern=$2
    shift 2
    printf '%s\n' "$@" >>"$copy/$file"
    expected+=("$pattern")
}
os_rule='but toolkit-free [a-z]+ includes only the C\+\+ standard library'

# Upward includes.
plant core/level_math.cpp \
    '^core/level_math\.cpp:[0-9]+: includes app/meter_app\.h, but core may not include app$' \
    '#include "app/meter_app.h"'
plant settings/settings_values.cpp \
    '^settings/settings_values\.cpp:[0-9]+: includes display/meter_bitmap\.h, but settings may not include display$' \
    '#include "../display/meter_bitmap.h"'
plant loudness/true_peak.cpp \
    '^loudness/true_peak\.cpp:[0-9]+: includes spl/sound_level_meter\.h, but loudness may not include spl$' \
    '  #  include <spl/sound_level_meter.h>'
plant audio/test_signal.cpp \
    '^audio/test_signal\.cpp:[0-9]+: includes results/test_run\.h, but audio may not include results$' \
    '#define TARNWICK_PROBE_UPWARD "results/test_run.h"' '#include TARNWICK_PROBE_UPWARD'
plant core/over_lamp.h \
    '^core/over_lamp\.h:[0-9]+: includes display/meter_frame\.h, but [a-z]+ may not include display \(compiling [a-z_/]+\.cpp\)$' \
    '#include "display/meter_frame.h"'
plant platform/window_stacking.cpp \
    '^platform/window_stacking\.cpp:[0-9]+: includes ui/main_window\.h, but platform may not include ui$' \
    '#include "ui/main_window.h"'
plant core/probe_upward.h \
    '^core/probe_upward\.h:[0-9]+: includes settings/settings_store\.h, but core may not include settings$' \
    '#pragma once' '#include "settings/settings_store.h"'
plant spl/probe_unbuilt.cpp \
    '^spl/probe_unbuilt\.cpp:[0-9]+: includes app/view_state\.h, but spl may not include app$' \
    '#include "app/view_state.h"'

# Operating-system, Qt and other libraries' headers in the toolkit-free layers.
plant core/number_format.cpp \
    "^core/number_format\.cpp:[0-9]+: includes /usr/include/unistd\.h \(#include </usr/include/unistd\.h>\), $os_rule\$" \
    '#include </usr/include/unistd.h>'
plant settings/reg_file_format.cpp \
    "^settings/reg_file_format\.cpp:[0-9]+: includes /usr/include/[a-z0-9_-]+/sys/stat\.h \(#include \"sys/stat\.h\"\), $os_rule\$" \
    '# include "sys/stat.h"'
plant display/meter_scale.cpp \
    "^display/meter_scale\.cpp:[0-9]+: includes /usr/include/pthread\.h \(#include <pthread\.h>\), $os_rule\$" \
    '#include <thread>' '#define TARNWICK_PROBE_OS <pthread.h>' '#include TARNWICK_PROBE_OS'
plant core/probe_os.h \
    "^core/probe_os\.h:[0-9]+: includes /usr/include/fcntl\.h \(#include <fcntl\.h>\), $os_rule( \(compiling results/duration_format\.cpp\))?\$" \
    '#pragma once' '#include <fcntl.h>'
plant results/duration_format.cpp "^core/probe_os\.h:.*\(compiling results/duration_format\.cpp\)\$" \
    '#include "core/probe_os.h"'
plant app/help_command.cpp \
    "^app/help_command\.cpp:[0-9]+: includes /usr/include/linux/limits\.h \(#include <linux/limits\.h>\), $os_rule\$" \
    '#include <linux/limits.h>'
plant spl/level_limit.cpp \
    "^spl/level_limit\.cpp:[0-9]+: includes /usr/include/[a-z0-9_-]+/bits/types\.h \(#include <bits/types\.h>\), $os_rule, soxr\.h\$" \
    '#include <bits/types.h>'
plant loudness/k_weighting.cpp \
    "^loudness/k_weighting\.cpp:[0-9]+: includes /usr/include/[a-z0-9_-]+/asm/unistd\.h \(#include <asm/unistd\.h>\), $os_rule, ebur128\.h, soxr\.h\$" \
    '#include <asm/unistd.h>'
plant app/input_watch.cpp \
    "^app/input_watch\.cpp:[0-9]+: includes /usr/include/signal\.h \(#include <signal\.h>\), $os_rule\$" \
    '#include <signal.h>'
plant core/capture_block.cpp \
    "^core/capture_block\.cpp:[0-9]+: includes /usr/include/dlfcn\.h \(#include <dlfcn\.h>\), $os_rule\$" \
    '#include <dlfcn.h>'
plant loudness/loudness_meter.cpp \
    "^loudness/loudness_meter\.cpp:[0-9]+: includes /usr/include/sndfile\.h \(#include <sndfile\.h>\), $os_rule, ebur128\.h, soxr\.h\$" \
    '#include <sndfile.h>'
plant display/probe_qt.h \
    "^display/probe_qt\.h:[0-9]+: includes /usr/include/[a-z0-9_-]+/qt6/QtCore/qglobal\.h \(#include <QtCore/qglobal\.h>\), $os_rule\$" \
    '#pragma once' '#include <QtCore/qglobal.h>'
plant core/probe_next.h \
    "^core/probe_next\.h:[0-9]+: includes /usr/include/unistd\.h \(#include_next <unistd\.h>\), $os_rule \(compiling core/local_time\.cpp\)\$" \
    '#pragma once' '#include <thread>' '#include_next <unistd.h>'
plant core/local_time.cpp '^core/probe_next\.h:.*\(compiling core/local_time\.cpp\)$' \
    '#include "core/probe_next.h"'
plant display/sweep_graph.cpp \
    '^display/sweep_graph\.cpp:[0-9]+: a line directive names /usr/include/c\+\+/[0-9]+/vector, which would hide what display/sweep_graph\.cpp includes$' \
    '#line 1 "/usr/include/c++/12/vector"' '#include <sys/mman.h>'
plant display/sweep_graph.cpp \
    "^display/sweep_graph\.cpp:[0-9]+: includes /usr/include/[a-z0-9_-]+/sys/mman\.h \(#include <sys/mman\.h>\), $os_rule\$"
plant results/results_records.cpp \
    '^results/results_records\.cpp:[0-9]+: a line directive names /usr/include/c\+\+/[0-9]+/vector, which would hide what results/results_records\.cpp includes$' \
    '#include <vector>' '#include <vector>' '# 1 "/usr/include/c++/12/vector" 1 3' '#include <sys/socket.h>' \
    '# 90 "results/results_records.cpp" 2'
plant results/save_schedule.cpp \
    '^results/save_schedule\.cpp:[0-9]+: a line directive names /usr/include/c\+\+/[0-9]+/vector, which would hide what results/save_schedule\.cpp includes$' \
    '# 1 "/usr/include/c++/12/vector" 1 3' '#include <unistd.h>' '# 40 "results/save_schedule.cpp" 2'

echo "check-layers-probe: ${#expected[@]} plants in a copy of the checkout:"
status=0
report=$(bash scripts/check-layers.sh --sources "$copy" "$shadow" 2>&1) || status=$?
indent <<<"$report"
((status == 1)) || fail "the check ended with status $status on the planted copy, not 1"
for pattern in "${expected[@]}"; do
    grep -qE -- "$pattern" <<<"$report" || fail "not reported: $pattern"
done
while read -r line; do
    [[ -n $line ]] || continue
    explained=0
    for pattern in "${expected[@]}"; do
        if grep -qE -- "$pattern" <<<"$line"; then explained=1; break; fi
    done
    ((explained)) || fail "reported, but planted by no one: $line"
done <<<"$report"

# refused WHAT PATTERN SCRIPT ARGUMENT...: the check must stop with status 2
# and say something matching PATTERN.
refused() {
    local what=$1 pattern=$2 status=0 output
    shift 2
    output=$(bash "$@" 2>&1) || status=$?
    echo "check-layers-probe: $what:"
    indent <<<"$output"
    ((status == 2)) || fail "$what: the check ended with status $status, not 2"
    grep -qE -- "$pattern" <<<"$output" || fail "$what: no message matching $pattern"
}
object=$(ninja -C "$build" -t targets all |
    awk -F ': ' '$1 ~ /\/core\/level_math\.cpp\.o$/ && !found { print $1; found = 1 }')
[[ -n $object ]] || fail "no object of core/level_math.cpp in $build"
touch -d @1 "$shadow/$object"
refused "core/level_math.cpp with its upward include, not rebuilt" \
    "would run: .*level_math\.cpp\.o" scripts/check-layers.sh --sources "$copy" "$shadow"
touch -r "$build/$object" "$shadow/$object"
touch -d @1 "$shadow/build.ninja"
refused "build.ninja older than CMakeLists.txt" "Re-running CMake" scripts/check-layers.sh "$shadow"
touch -r "$build/build.ninja" "$shadow/build.ninja"
if [[ -f $shadow/CMakeFiles/VerifyGlobs.cmake ]]; then
    sed -i '0,/^  "/{/^  "/d}' "$shadow/CMakeFiles/VerifyGlobs.cmake"
    refused "a file added where the build globs" "files were added or removed" \
        scripts/check-layers.sh "$shadow"
    cp -p "$build/CMakeFiles/VerifyGlobs.cmake" "$shadow/CMakeFiles/VerifyGlobs.cmake"
fi
refused "the build of another checkout" "not this checkout" "$copy/scripts/check-layers.sh" "$build"

if ((failures > 0)); then
    echo "check-layers-probe: $failures failures: the layer check misses what it should catch" >&2
    exit 1
fi
echo "check-layers-probe: every plant reported, nothing else; every stale build refused"

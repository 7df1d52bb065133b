#!/usr/bin/env bash
# Fails on a header that a layer may not reach, and on a Qt or operating-system
# header in the toolkit-free layers.
#
# It reads what the compiler recorded while building (Ninja's dependency log),
# not the include lines, so no spelling of an include gets past it ("../app/x.h",
# <app/x.h>, an indented or macro-built #include, a header that includes
# another). A header that no translation unit of its own layer compiles is run
# through the preprocessor on its own, so its includes are checked too.
#
# Usage: scripts/check-layers.sh [BUILD_DIR]   (default: build)
# The build directory must be a Ninja build of the current sources
# (`make build` makes one); an object that is missing or out of date fails the
# check, since its record would not be the truth.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build}

# Each layer, and the layers its files may include (its own among them).
declare -A allowed=(
    [core]="core"
    [settings]="core settings"
    [audio]="core settings audio"
    [display]="core settings audio display"
    [results]="core settings audio display results"
    [loudness]="core loudness"
    [spl]="core spl"
    [app]="core settings audio display results loudness spl app"
    [platform]="core settings audio display results loudness spl app platform"
    [ui]="core settings audio display results loudness spl app platform ui"
    [tools]="core settings audio display results loudness spl app platform ui tools"
)
# Free of Qt and of the operating system: they reach only the C++ standard
# library, the compiler's own headers and the field's libraries listed here.
declare -A toolkit_free=(
    [core]="" [settings]="" [audio]="" [display]="" [results]="" [app]=""
    [loudness]="ebur128.h soxr.h"
    [spl]="soxr.h"
)
# Operating-system headers that the standard library includes itself, so that
# the compiler's record cannot tell an include of our own from its: these are
# also looked for in the include lines of the toolkit-free layers.
os_include_lines='^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](sys/|unistd\.h|pthread\.h|fcntl\.h|dlfcn\.h|signal\.h)'

if [[ ! -f $build/build.ninja ]]; then
    echo "check-layers: $build is no Ninja build; run 'make build' first" >&2
    exit 2
fi
build=$(cd "$build" && pwd)
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")

# The objects compiled from the layers' sources: CMakeFiles/<target>.dir/<path>.o
# below the folder of the CMakeLists.txt that names them.
mapfile -t objects < <(ninja -C "$build" -t targets all | awk -v layers="${!allowed[*]}" '
    BEGIN { n = split(layers, l, " "); for (i = 1; i <= n; i++) layer[l[i]] = 1 }
    /\.o: CXX_COMPILER/ {
        object = $1; sub(/:$/, "", object)
        source = object; sub(/CMakeFiles\/[^\/]+\.dir\//, "", source)
        split(source, parts, "/")
        if (parts[1] in layer) print object
    }')
if ((${#objects[@]} == 0)); then
    echo "check-layers: no objects of the layers in $build" >&2
    exit 2
fi
if ninja -C "$build" -n "${objects[@]}" | grep -q 'Building CXX'; then
    echo "check-layers: $build is out of date; build it first ('make build')" >&2
    exit 2
fi

# The flags of one toolkit-free translation unit, for preprocessing on its own.
flags_of() {
    ninja -C "$build" -t commands "$1" | tail -n 1 | sed -E 's/ -MD .*//'
}
core_object=$(printf '%s\n' "${objects[@]}" | grep -m 1 '\.dir/core/' || true)
[[ -n $core_object ]] || { echo "check-layers: no object of core in $build" >&2; exit 2; }

# What the whole standard library reaches on this compiler with these flags.
std_headers=(algorithm any array atomic barrier bit bitset charconv chrono cmath codecvt
    compare complex concepts condition_variable coroutine cstddef cstdint cstdio cstdlib
    cstring ctime cwchar deque exception execution filesystem format forward_list fstream
    functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
    limits list locale map memory memory_resource mutex new numbers numeric optional ostream
    queue random ranges ratio regex scoped_allocator semaphore set shared_mutex
    source_location span sstream stack stdexcept stop_token streambuf string string_view
    syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
    unordered_set utility valarray variant vector version cassert cctype cerrno cfenv
    cfloat cinttypes climits clocale csetjmp csignal cstdarg cuchar cwctype assert.h ctype.h
    errno.h fenv.h float.h inttypes.h limits.h locale.h math.h setjmp.h signal.h stdarg.h
    stddef.h stdint.h stdio.h stdlib.h string.h time.h uchar.h wchar.h wctype.h)
std_closure=$(for h in "${std_headers[@]}"; do
    printf '#if __has_include(<%s>)\n#include <%s>\n#endif\n' "$h" "$h"
done | (cd "$build" && eval "$(flags_of "$core_object") -x c++ -M -") | tr -s ' \\' '\n\n' |
    grep '^/' | sort -u)
compiler_include=$("$cxx" -print-file-name=include)

# One line per recorded dependency: "<file> <header>", paths relative to the
# checkout where they lie in it; "MISSING <object>" for an object without a
# valid record.
records() {
    ninja -C "$build" -t deps "$@" | awk -v root="$root/" '
        function canonical(path,    n, i, parts, out, k) {
            n = split(path, parts, "/"); k = 0
            for (i = 1; i <= n; i++) {
                if (parts[i] == "" || parts[i] == ".") continue
                if (parts[i] == "..") { if (k > 0) k--; continue }
                out[++k] = parts[i]
            }
            path = ""
            for (i = 1; i <= k; i++) path = path "/" out[i]
            return path
        }
        /^[^ ]/ {
            unit = ""
            if ($0 ~ /deps not found/ || $0 ~ /\(STALE\)/) print "MISSING " $1
            next
        }
        {
            path = canonical($1)
            if (index(path, root) == 1) path = substr(path, length(root) + 1)
            if (unit == "") { unit = path; next }
            print unit, path
        }'
}

# Reads "<file> <header>" lines and prints each that breaks the layering.
check() {
    local rules="" layer
    for layer in "${!allowed[@]}"; do
        rules+="allowed $layer ${allowed[$layer]}"$'\n'
    done
    for layer in "${!toolkit_free[@]}"; do
        rules+="free $layer ${toolkit_free[$layer]}"$'\n'
    done
    awk -v rules="$rules" -v closure="$std_closure" -v compiler="$compiler_include/" '
        BEGIN {
            n = split(rules, lines, "\n")
            for (i = 1; i <= n; i++) {
                m = split(lines[i], w, " ")
                if (m < 2) continue
                if (w[1] == "allowed") { layer[w[2]] = 1; for (j = 3; j <= m; j++) may[w[2], w[j]] = 1 }
                else { free[w[2]] = 1; for (j = 3; j <= m; j++) library[w[2], w[j]] = 1 }
            }
            n = split(closure, paths, "\n")
            for (i = 1; i <= n; i++) standard[paths[i]] = 1
        }
        {
            unit = $1; dep = $2
            split(unit, u, "/"); own = u[1]
            if (dep !~ /^\//) {
                split(dep, d, "/")
                if ((d[1] in layer) && !((own, d[1]) in may))
                    print unit ": reaches " dep ", a layer " own " may not include"
            } else if ((own in free) && index(dep, compiler) != 1 && !(dep in standard) &&
                       !(unit in reported)) {
                # The first such header names the problem; the ones it includes follow.
                base = dep; sub(/.*\//, "", base)
                if (!((own, base) in library)) {
                    print unit ": reaches " dep ", a Qt or operating-system header in toolkit-free " own
                    reported[unit] = 1
                }
            }
        }'
}

status=0
deps=$(records "${objects[@]}")
if grep -q '^MISSING ' <<<"$deps"; then
    grep '^MISSING ' <<<"$deps" | sed 's/^MISSING /check-layers: not built: /' >&2
    echo "check-layers: build $build first ('make build')" >&2
    exit 2
fi
problems=$(check <<<"$deps")

# Headers that no translation unit of their own layer compiled: each is
# preprocessed alone, with the flags of a translation unit of its layer.
covered=$(awk '{ split($1, u, "/"); split($2, d, "/"); if (u[1] == d[1]) print $2 }' <<<"$deps" |
    sort -u)
for layer in "${!allowed[@]}"; do
    [[ -d $layer ]] || continue
    object=$(printf '%s\n' "${objects[@]}" | grep -m 1 "\.dir/$layer/" || true)
    [[ -z $object ]] || flags=$(flags_of "$object")
    headers=$(git ls-files --cached --others --exclude-standard "$layer/*.h" |
        grep -vxF -f <(echo "$covered") || true)
    [[ -n $headers ]] || continue
    if [[ -z $object ]]; then
        problems+=$'\n'"$layer: no translation unit is built to check its headers with"
        continue
    fi
    # One rule per header: "<name>.o: <header> <dependency>..."
    paths=$(sed "s#^#$root/#" <<<"$headers" | tr "\n" " ")
    if ! rules=$(cd "$build" && eval "$flags -x c++ -M $paths"); then
        problems+=$'\n'"$layer: a header that does not compile on its own cannot be checked"
        continue
    fi
    problems+=$'\n'$(tr -s ' \\' '\n\n' <<<"$rules" | grep . | awk -v root="$root/" '
        /:$/ { header = ""; next }
        {
            if (index($0, root) == 1) $0 = substr($0, length(root) + 1)
            if (header == "") header = $0; else print header, $0
        }' | check)
done
if [[ -n ${problems//$'\n'/} ]]; then
    grep . <<<"$problems"
    status=1
fi

for layer in "${!toolkit_free[@]}"; do
    [[ -d $layer ]] || continue
    if grep -rnE --include='*.h' --include='*.cpp' "$os_include_lines" "$layer"; then
        echo "$layer: an operating-system header in a toolkit-free layer"
        status=1
    fi
done
exit $status

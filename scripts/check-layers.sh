#!/usr/bin/env bash
# Fails on a header that a layer may not reach, and on any header beyond the C++
# standard library in the toolkit-free layers.
#
# It asks the compiler, not the include lines. Every translation unit of the
# layers goes through the preprocessor with the flags the build compiles it
# with (`-E -dI`), which names each header every file includes, however it is
# spelled: "../app/x.h", </usr/include/unistd.h>, # include "sys/stat.h", a
# macro that names the header, a header of ours that includes another. It names
# it even when the standard library has opened that header already, where the
# compiler's dependency list and `-H` cannot tell who asked for it. A file of a
# layer that no translation unit of its own layer reaches (a header nobody
# includes yet, a source the build does not name) goes through on its own.
#
# The rules: a layer includes only the layers `allowed` lists for it. A file of
# the checkout that a toolkit-free layer compiles includes, from outside the
# checkout, only the compiler's own headers, the C++ standard library's and
# the field's libraries `toolkit_free` lists; what those include in turn is
# their business. So <csignal>, not <signal.h>: the C spelling is the C
# library's header, which lives among the operating system's.
#
# The build must be current: where Ninja would do any work for the layers'
# objects, or regenerate the build first, the flags and file lists read here
# could be stale, and the check asks for a build instead (exit status 2).
#
# Usage: scripts/check-layers.sh [--sources DIR] [BUILD_DIR]   (default: build)
#   BUILD_DIR      a Ninja build of this checkout (`make build` makes one)
#   --sources DIR  check the copy of this checkout at DIR, compiled as BUILD_DIR
#                  compiles this checkout (scripts/check-layers-probe.sh plants
#                  faults in such a copy)
# Exit status: 0 clean, 1 a rule is broken, 2 the check cannot be made.
set -euo pipefail
export LC_ALL=C
scripts=$(cd "$(dirname "$0")" && pwd -P)
root=$(cd "$scripts/.." && pwd -P)
cd "$root"

sources=""
while (($# > 0)); do
    case $1 in
    --sources) sources=$(cd "$2" && pwd -P); shift 2 ;;
    -*) echo "usage: scripts/check-layers.sh [--sources DIR] [BUILD_DIR]" >&2; exit 2 ;;
    *) break ;;
    esac
done
build=${1:-build}
tree=${sources:-$root}

# Each layer, and the layers its files may include (its own among them).
declare -A allowed=(
    [core]="core"
    [settings]="core settings"
    [audio]="core settings audio"
    [display]="core settings audio display"
    [results]="core settings audio display results"
    [loudness]="core loudness"
    [spl]="core spl"
    [bands]="core bands"
    [app]="core settings audio display results loudness spl bands app"
    [platform]="core settings audio display results loudness spl bands app platform"
    [ui]="core settings audio display results loudness spl bands app platform ui"
    [tools]="core settings audio display results loudness spl bands app platform ui tools"
)
# Free of Qt and of the operating system: the C++ standard library, the
# compiler's own headers and the field's libraries listed here.
declare -A toolkit_free=(
    [core]="" [settings]="" [audio]="" [display]="" [results]="" [app]="" [bands]=""
    [loudness]="ebur128.h soxr.h"
    [spl]="soxr.h"
)
source_suffixes='\.(h|hh|hpp|hxx|inl|ipp|tpp|c|cc|cpp|cxx)$'

cannot() {
    echo "check-layers: $*" >&2
    exit 2
}

[[ -f $build/build.ninja ]] || cannot "$build is no Ninja build; run 'make build' first"
build=$(cd "$build" && pwd -P)
build_root=$(sed -n 's/^CMAKE_HOME_DIRECTORY:[A-Z]*=//p' "$build/CMakeCache.txt")
[[ $(cd "$build_root" 2>/dev/null && pwd -P) == "$root" ]] ||
    cannot "$build builds $build_root, not this checkout ($root)"
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt")
named=$(echo '#include <cstddef>' | "$cxx" -E -dI -x c++ - 2>/dev/null) || true
grep -q '^#include <cstddef>' <<<"$named" ||
    cannot "$cxx does not name the includes it obeys (-E -dI), which the check reads"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# The compile command of every C++ object: "<object> TAB <flags> TAB <source>",
# without the launcher and without the dependency, output and -c options. (A
# source of another language in a layer is a file no translation unit
# reaches, and is preprocessed as C++ on its own below.)
ninja -C "$build" -t targets all | awk '/\.o: CXX_COMPILER/ { sub(/:$/, "", $1); print $1 }' \
    >"$tmp/all-objects"
xargs -a "$tmp/all-objects" -d '\n' ninja -C "$build" -t commands -s | awk -v cxx="$cxx" '
    {
        at = index($0, cxx " "); deps = index($0, " -MD "); object = index($0, " -o ")
        compile = index($0, " -c ")
        if (!at || !deps || !object || !compile) { print "UNREADABLE\t" $0; next }
        out = substr($0, object + 4); sub(/ .*/, "", out)
        print out "\t" substr($0, at, deps - at) "\t" substr($0, compile + 4)
    }' >"$tmp/commands"
if grep -q '^UNREADABLE' "$tmp/commands"; then
    cannot "cannot read this compile command: $(grep -m 1 '^UNREADABLE' "$tmp/commands" | cut -f 2)"
fi

# The layers' objects: those compiled from a source in a layer's folder.
awk -F '\t' -v root="$root/" -v layers="${!allowed[*]}" '
    BEGIN { n = split(layers, l, " "); for (i = 1; i <= n; i++) layer[l[i]] = 1 }
    index($3, root) == 1 {
        path = substr($3, length(root) + 1); first = path; sub(/\/.*/, "", first)
        if (first in layer) print
    }' "$tmp/commands" >"$tmp/layer-commands"
[[ -s $tmp/layer-commands ]] || cannot "no objects of the layers in $build"

# Anything Ninja would do first (regenerate the build, compile an object whose
# source or header changed, one whose record is missing) means what follows
# would read the wrong flags or miss a file: build first.
#
# Where the build globs for sources (CONFIGURE_DEPENDS), Ninja's dry run always
# plans to regenerate it, since only running the globs can tell, and plans
# nothing else. So the globs run here, in a copy that only reports a change, and
# the dry run reads a copy of build.ninja in which checking them is done.
verify_globs=$build/CMakeFiles/VerifyGlobs.cmake
if [[ -f $verify_globs ]]; then
    cmake_command=$(sed -n 's/^CMAKE_COMMAND:[A-Z]*=//p' "$build/CMakeCache.txt")
    sed 's/file(TOUCH_NOCREATE [^)]*)/message("check-layers: globbed files changed")/' \
        "$verify_globs" >"$tmp/verify-globs.cmake"
    globbed=$("$cmake_command" -P "$tmp/verify-globs.cmake" 2>&1) ||
        cannot "the build's glob check failed: $globbed"
    if grep -q 'check-layers: globbed files changed' <<<"$globbed"; then
        cannot "files were added or removed where $build globs for sources; build it first ('make build')"
    fi
fi
sed -E 's#^build (.*cmake\.verify_globs): VERIFY_GLOBS .*#build \1: phony#' "$build/build.ninja" \
    >"$tmp/build.ninja"
if ! plan=$( (echo build.ninja && cut -f 1 "$tmp/layer-commands") |
    NINJA_STATUS='[%f/%t] ' xargs -d '\n' ninja -C "$build" -f "$tmp/build.ninja" -n 2>&1); then
    echo "$plan" | grep -v '^ninja: Entering' >&2
    cannot "Ninja cannot bring $build up to date; build it first ('make build')"
fi
if grep -qE '^\[[0-9]+/[0-9]+\] ' <<<"$plan"; then
    grep -E '^\[[0-9]+/[0-9]+\] ' <<<"$plan" | sed -n '1,5s/^/  would run: /p' >&2
    cannot "$build is out of date; build it first ('make build')"
fi

# In a copy, the same commands name the copy's files (the files the build
# made stay where they are).
binary_dir=$(sed -n 's/^CMAKE_CACHEFILE_DIR:[A-Z]*=//p' "$build/CMakeCache.txt")
relocate() {
    relocated=$1
    [[ -n $sources ]] || return 0
    relocated=${relocated//"$binary_dir"/$'\1'}
    relocated=${relocated//"$root"/"$sources"}
    relocated=${relocated//$'\1'/"$binary_dir"}
}

# The distinct flag sets (flags.K), each with its search directories
# (search.K: "quote DIR" and "angle DIR" lines, in the compiler's order) and the
# system directories among them (system.K: those outside the checkout and the
# build, whose files include nothing the rules need to see).
declare -A flag_set=()
flag_sets=0
flags_id() {
    local flags=$1 k dir kind
    if [[ -z ${flag_set[$flags]:-} ]]; then
        k=$((++flag_sets))
        flag_set[$flags]=$k
        printf '%s\n' "$flags" >"$tmp/flags.$k"
        (cd "$build" && eval "$flags -E -v -x c++ /dev/null" 2>&1 >/dev/null) | awk '
            /^#include "\.\.\." search starts here:/ { kind = "quote"; next }
            /^#include <\.\.\.> search starts here:/ { kind = "angle"; next }
            /^End of search list\./ { kind = "" }
            kind != "" && /^ / { sub(/^ /, ""); sub(/ \(framework directory\)$/, ""); print kind, $0 }
        ' >"$tmp/search.$k"
        [[ -s $tmp/search.$k ]] || cannot "the compiler names no search directories for: $flags"
        cut -d ' ' -f 2- "$tmp/search.$k" | (cd "$build" && xargs -d '\n' realpath -m) |
            while read -r dir; do
                case "$dir/" in "$tree"/* | "$build"/* | "$binary_dir"/*) continue ;; esac
                case "$tree/" in "$dir"/*) continue ;; esac
                case "$build/" in "$dir"/*) continue ;; esac
                echo "$dir"
            done >"$tmp/system.$k"
    fi
    flag_id=${flag_set[$flags]}
}

# Jobs: job.N holds "<unit> TAB <source> TAB <flag set ids>", the flag sets to
# try in order; the unit is the source relative to the tree.
jobs=0
add_job() {
    jobs=$((jobs + 1))
    printf '%s\t%s\t%s\n' "$1" "$2" "$3" >"$tmp/job.$jobs"
}

# Runs job N: preprocesses its source with the first flag set that works and
# leaves its records in rec.N ("<unit> TAB <flag set> TAB <record>"), or the
# compiler's complaint in err.N.
run_job() {
    local n=$1 unit source ids k status
    IFS=$'\t' read -r unit source ids <"$tmp/job.$n"
    for k in $ids; do
        # Warnings tell nothing of includes, and a header preprocessed on its
        # own warns of its #pragma once (an error under WARNINGS_FATAL).
        (cd "$build" && eval "$(<"$tmp/flags.$k") -w -E -dI -x c++ \"\$source\"") 2>"$tmp/err.$n" |
            grep -n '^#' |
            awk -f "$scripts/include-edges.awk" -v system_dirs="$(<"$tmp/system.$k")" |
            awk -v prefix="$unit"$'\t'"$k" '{ print prefix "\t" $0 }' >"$tmp/rec.$n"
        status=("${PIPESTATUS[@]}")
        if ((status[0] == 0)); then
            ((status[1] <= 1 && status[2] == 0 && status[3] == 0)) || echo "$unit" >"$tmp/broken.$n"
            rm -f "$tmp/err.$n"
            return 0
        fi
    done
    rm -f "$tmp/rec.$n"
}
export -f run_job
export tmp build scripts

run_jobs() {
    local first=$1
    ((jobs >= first)) || return 0
    seq "$first" "$jobs" | xargs -P "$(nproc)" -I '{}' bash -c 'run_job {}'
}

# Sets `hits` to the files "#<directive> <spelled>" in <includer> may name, one
# a line: the first found in search order (the includer's folder first for a
# quoted name, then the search directories), or for #include_next any of them.
declare -A found=()
find_header() {
    local k=$1 includer=$2 directive=$3 spelled=$4
    local name=${spelled:1:${#spelled}-2} key="$1"$'\t'"${2%/*}"$'\t'"$3"$'\t'"$4" kind dir
    if [[ -z ${found[$key]+set} ]]; then
        local files=()
        if [[ $name == /* ]]; then
            [[ -f $name ]] && files+=("$name")
        else
            if [[ $spelled == \"* ]]; then
                [[ $includer == */* ]] && dir=${includer%/*} || dir=.
                [[ -f $dir/$name ]] && files+=("$dir/$name")
            fi
            while read -r kind dir; do
                [[ $kind == angle || $spelled == \"* ]] || continue
                [[ -f $dir/$name ]] && files+=("$dir/$name")
            done <"$tmp/search.$k"
        fi
        if [[ $directive != include_next ]] && ((${#files[@]} > 1)); then
            files=("${files[0]}")
        fi
        found[$key]=""
        for dir in "${files[@]}"; do found[$key]+=$dir$'\n'; done
    fi
    hits=${found[$key]}
}

# Turns the records of jobs FIRST.. into records.canonical: each U record
# becomes the E records of the files it names (X if none), every path is made
# canonical, relative to the tree where it lies in it. Fails on a job that did
# not preprocess.
collect() {
    local first=$1 n unit k kind includer line target spelled directive
    : >"$tmp/records.raw"
    for ((n = first; n <= jobs; n++)); do
        [[ ! -f $tmp/broken.$n ]] || cannot "reading the preprocessor's output failed for $(<"$tmp/broken.$n")"
        if [[ -f $tmp/err.$n ]]; then
            IFS=$'\t' read -r unit _ <"$tmp/job.$n"
            problems+=("$unit: does not preprocess$( ((n > units)) && echo " with the flags of any translation unit"): $(
                grep -m 1 -E 'error|No such' "$tmp/err.$n" || head -n 1 "$tmp/err.$n")")
            continue
        fi
        cat "$tmp/rec.$n" >>"$tmp/records.raw"
    done
    (
        cd "$build"
        while IFS=$'\t' read -r unit k kind includer line target spelled; do
            if [[ $kind != U ]]; then
                printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$unit" "$kind" "$includer" "$line" "$target" "$spelled"
                continue
            fi
            directive="$target $spelled"
            find_header "$k" "$includer" "$target" "$spelled"
            if [[ -z $hits ]]; then
                printf '%s\tX\t%s\t%s\t-\t%s\n' "$unit" "$includer" "$line" "$directive"
            fi
            while read -r target; do
                [[ -n $target ]] && printf '%s\tE\t%s\t%s\t%s\t%s\n' "$unit" "$includer" "$line" "$target" "$directive"
            done <<<"$hits"
        done <"$tmp/records.raw" >"$tmp/records.resolved"
        # Canonical paths, relative to the tree inside it.
        cut -f 3,5 "$tmp/records.resolved" | tr '\t' '\n' | { grep -v '^<' || true; } |
            sort -u >"$tmp/paths"
        xargs -a "$tmp/paths" -d '\n' -r realpath -m --relative-base="$tree" -- |
            paste "$tmp/paths" - >"$tmp/canonical"
    )
    awk -F '\t' -v OFS='\t' '
        NR == FNR { canonical[$1] = $2; next }
        { if ($3 in canonical) $3 = canonical[$3]; if ($5 in canonical) $5 = canonical[$5]; print }
    ' "$tmp/canonical" "$tmp/records.resolved" >>"$tmp/records.canonical"
}

problems=()

# First pass: every translation unit the build compiles in the layers.
while IFS=$'\t' read -r _ flags source; do
    relocate "$flags"
    flags_id "$relocated"
    relocate "$source"
    add_job "${relocated#"$tree"/}" "$relocated" "$flag_id"
done <"$tmp/layer-commands"
units=$jobs
: >"$tmp/records.canonical"
run_jobs 1
collect 1

# Second pass: the files of each layer that no translation unit of their own
# layer reached, each preprocessed on its own with the flags of its sibling
# source, else of its layer, else of any layer.
awk -F '\t' '
    { print $1 }
    $2 == "E" && $5 !~ /^[\/<]/ { t = $5; sub(/\/.*/, "", t); u = $1; sub(/\/.*/, "", u); if (t == u) print $5 }
' "$tmp/records.canonical" | sort -u >"$tmp/covered"
for ((n = 1; n <= units; n++)); do
    IFS=$'\t' read -r unit _ ids <"$tmp/job.$n"
    echo "${unit%%/*} $ids ${unit%.*}"
done >"$tmp/unit-flags"
for layer in "${!allowed[@]}"; do
    [[ -d $tree/$layer ]] || continue
    (cd "$tree" && find "$layer" -type f | grep -E "$source_suffixes" | sort) |
        grep -vxF -f "$tmp/covered" || true
done >"$tmp/uncovered"
while read -r path; do
    layer=${path%%/*}
    # The sibling source's flags first, then the layer's, then any layer's,
    # the most used first.
    ids=$(awk -v layer="$layer" -v stem="${path%.*}" '
        $3 == stem { sibling[$2] = 1 } $1 == layer { own[$2]++ } { any[$2]++ }
        END {
            for (k in sibling) print 0, 0, k
            for (k in own) print 1, -own[k], k
            for (k in any) print 2, -any[k], k
        }' "$tmp/unit-flags" | sort -k 1,1n -k 2,2n -k 3,3n | awk '!seen[$3]++ { printf "%s ", $3 }')
    add_job "$path" "$tree/$path" "$ids"
done <"$tmp/uncovered"
run_jobs $((units + 1))
collect $((units + 1))

# The directories whose headers a toolkit-free layer may include: the
# compiler's own, and the C++ standard library's (those of its search list
# named c++).
standard_dirs=$(
    for name in include include-fixed; do
        dir=$("$cxx" -print-file-name="$name")
        [[ -d $dir ]] && realpath "$dir"
    done
    awk '/\/c\+\+\// { print $2 }' "$tmp/search.1" | (cd "$build" && xargs -r realpath -m)
)
# What the compiler includes before the source by itself (stdc-predef.h).
implicit=$(echo | "$cxx" -std=c++20 -E -dI -x c++ - | grep -nE '^#( [0-9]+ "|include )' |
    awk -f "$scripts/include-edges.awk" | awk -F '\t' '$1 == "F" { print $4 }' | xargs -r realpath -m)
# The field's libraries, where the toolkit-free layers' flags find them.
libraries=$(
    for layer in "${!toolkit_free[@]}"; do
        k=$(awk -v layer="$layer" '$1 == layer { print $2; exit }' "$tmp/unit-flags")
        for name in ${toolkit_free[$layer]}; do
            while read -r kind dir; do
                [[ $kind == angle && -f $dir/$name ]] || continue
                echo "$layer $(cd "$build" && realpath "$dir/$name")"
                break
            done <"$tmp/search.${k:-1}"
        done
    done
)
rules=$(
    for layer in "${!allowed[@]}"; do echo "allowed $layer ${allowed[$layer]}"; done
    for layer in "${!toolkit_free[@]}"; do echo "free $layer ${toolkit_free[$layer]}"; done
)
mapfile -t -O "${#problems[@]}" problems < <(
    awk -F '\t' -f "$scripts/layer-rules.awk" -v rules="$rules" -v standard="$standard_dirs" \
        -v implicit="$implicit" -v libraries="$libraries" "$tmp/records.canonical")

if ((${#problems[@]} > 0)); then
    printf '%s\n' "${problems[@]}"
    exit 1
fi

#!/bin/bash
# tarnwick-analyse loads its picture module only for --snapshot: installed
# under a prefix, it finds the module where `cmake --install` put it and
# draws the picture; a program whose module is missing says so, ends with
# status 1 and writes no results file.
#
# Usage: analyser_picture_install_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 2 sine 1000 vol 0.5
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
"$prefix/bin/tarnwick-analyse" --snapshot "$work/end.png" "$work/tone.wav" ||
    fail "the installed program did not draw the picture"
[ "$(identify -format '%m %wx%h' "$work/end.png" 2>/dev/null)" = 'PNG 582x406' ] ||
    fail "no picture at $work/end.png"

mkdir "$work/alone"
cp "$build/tools/tarnwick-analyse" "$work/alone/"
status=0
"$work/alone/tarnwick-analyse" --snapshot "$work/alone.png" --results "$work/results.csv" \
    "$work/tone.wav" 2>"$work/err.txt" || status=$?
[ "$status" = 1 ] || fail "without its module the program ended with status $status"
grep -q 'cannot draw the picture' "$work/err.txt" || fail "no message: $(cat "$work/err.txt")"
[ ! -e "$work/results.csv" ] || fail "a results file was written without the picture"
[ ! -e "$work/alone.png" ] || fail "a picture was written without the module"
echo "the installed analyser draws its picture; without the module it says so"

#!/usr/bin/env bash
# Fails on an include that points upward in the layering, and on a Qt or OS
# header in the toolkit-free layers. A layer may include its own folder and the
# layers before it in this list.
set -euo pipefail
cd "$(dirname "$0")/.."

layers=(core settings audio display results loudness app platform ui tools)
toolkit_free=(core settings audio display results loudness app)

rank() {
    local i
    for i in "${!layers[@]}"; do
        [[ ${layers[$i]} == "$1" ]] && { echo "$i"; return; }
    done
    echo -1
}

status=0
for layer in "${layers[@]}"; do
    [[ -d $layer ]] || continue
    own=$(rank "$layer")
    while IFS=: read -r file line target; do
        dep=$(rank "${target%%/*}")
        if ((dep > own)); then
            echo "$file:$line: $layer includes $target, a layer above it"
            status=1
        fi
    done < <(grep -rnoE --include='*.h' --include='*.cpp' '^#include "[a-z_]+/[^"]+"' "$layer" |
        sed -E 's/#include "([^"]+)"/\1/')
done

for layer in "${toolkit_free[@]}"; do
    [[ -d $layer ]] || continue
    if grep -rnE --include='*.h' --include='*.cpp' \
        '^#include <(Q[A-Za-z]*|sys/|unistd\.h|fcntl\.h|pthread\.h|dlfcn\.h|signal\.h|pulse/|sndfile\.h|jpeglib\.h)' \
        "$layer"; then
        echo "$layer: a Qt or operating-system header in a toolkit-free layer"
        status=1
    fi
done
exit $status

# Reads the preprocessor's account of one translation unit and prints what each
# file included, as scripts/check-layers.sh judges it.
#
# Input: the lines of `c++ -E -dI` that begin with #, each prefixed with its
# line number in the preprocessor's output, as `grep -n` prints them; of these,
# the line markers (# 12 "path" 1 3) and the include directives (#include <x>,
# #include_next, #import) count. With
# -dI the preprocessor prints every directive it obeys, after expanding a macro
# that names the header, and also the ones whose header is already open and
# guarded (where -H and the dependency list stay silent). The directive that
# opens a file is followed by a marker of the includer at the directive's own
# line, then by the new file's marker with flag 1; a flag-1 marker without
# them comes from a line marker written in the source.
#
# Output, one tab-separated record a line:
#   E  includer  line  target   directive  a directive that opened target
#   U  includer  line  directive spelled  a directive whose header was already
#                                         open, spelled unlike any directive
#                                         that opened one: the caller finds it
#   F  <command-line>  0  target  -      a file the compile flags include
#   L  includer  line  name     -        a line marker or #line that names
#                                         another file: it could hide an include
# Paths are as the preprocessor names them (relative ones to its working
# directory). Files that lie in one of the directories given in `system_dirs`
# (newline-separated, without "..") include nothing the check needs to see and
# are left out, unless they include a file outside those directories.

function in_system(path,    i) {
    if (path ~ /^</ || path !~ /^\// || path ~ /\/\.\.?\//) return 0
    for (i = 1; i <= n_system; i++)
        if (index(path, system_dir[i]) == 1) return 1
    return 0
}

# The source line of an output line, from the last line marker of its file.
function source_line(output_line) {
    return marker_line + output_line - marker_output - 1
}

function record(kind, includer, line, target, spelled) {
    if (in_system(includer) && (kind != "E" || in_system(target))) return
    print kind "\t" includer "\t" line "\t" target "\t" spelled
}

# What a directive names depends only on its spelling, and for a quoted name
# on the includer's folder, except for #include_next.
function lookup_key(directive, includer, spelled,    folder) {
    if (directive == "include_next") return ""
    if (spelled !~ /^"/) return spelled
    folder = includer
    if (!sub(/\/[^\/]*$/, "", folder)) folder = "."
    return folder "\t" spelled
}

function settle_pending(    key) {
    if (pending_spelled == "") return
    key = lookup_key(pending_directive, pending_includer, pending_spelled)
    if (key != "" && key in opened)
        record("E", pending_includer, pending_line, opened[key],
               pending_directive " " pending_spelled)
    else
        record("U", pending_includer, pending_line, pending_directive, pending_spelled)
    pending_spelled = ""
}

BEGIN {
    n_system = split(system_dirs, system_dir, "\n")
    for (i = 1; i <= n_system; i++) system_dir[i] = system_dir[i] "/"
    depth = 0
    started = 0
    pending_spelled = ""
}

{
    colon = index($0, ":")
    output_line = substr($0, 1, colon - 1) + 0
    text = substr($0, colon + 1)
}

text ~ /^#(include|include_next|import) / {
    settle_pending()
    directive = substr(text, 2, index(text, " ") - 2)
    pending_spelled = substr(text, length(directive) + 3)
    pending_directive = directive
    pending_includer = depth > 0 ? stack[depth] : pseudo
    pending_line = source_line(output_line)
    next
}

text ~ /^# [0-9]+ "/ {
    first = index(text, "\"")
    last = first
    for (i = first + 1; i <= length(text); i++) {
        c = substr(text, i, 1)
        if (c == "\\") { i++; continue }
        if (c == "\"") { last = i; break }
    }
    name = substr(text, first + 1, last - first - 1)
    gsub(/\\\\/, "\\", name)
    gsub(/\\"/, "\"", name)
    number = substr(text, 3, first - 4) + 0
    flags = " " substr(text, last + 1) " "
    enters = index(flags, " 1 ") > 0
    returns = index(flags, " 2 ") > 0

    if (depth == 0 && !started && pseudo == "" && !enters && !returns) {
        # The first marker names the main file.
        stack[depth = 1] = name
        main = name
        pseudo = "<built-in>"
    } else if (enters) {
        opened_by_pending = pending_spelled != "" && sync_output == output_line - 1 &&
                            sync_line == pending_line && sync_name == stack[depth]
        if (started && !opened_by_pending) {
            # Entering a file without a directive: a line marker written in
            # the source pretends to.
            settle_pending()
            record("L", stack[depth], source_line(output_line), name, "-")
        } else if (pending_spelled != "") {
            record("E", pending_includer, pending_line, name,
                   pending_directive " " pending_spelled)
            key = lookup_key(pending_directive, pending_includer, pending_spelled)
            if (key != "") opened[key] = name
            pending_spelled = ""
        } else {
            record("F", pseudo, 0, name, "-")
        }
        stack[++depth] = name
    } else if (returns) {
        settle_pending()
        if (depth > 1) depth--
    } else if (!started) {
        if (depth == 1 && name == main) started = 1
        else if (depth == 1) pseudo = name
    } else if (name != stack[depth]) {
        settle_pending()
        record("L", stack[depth], source_line(output_line), name, "-")
    } else {
        sync_output = output_line
        sync_line = number
        sync_name = name
    }
    marker_line = number
    marker_output = output_line
    next
}

END { settle_pending() }

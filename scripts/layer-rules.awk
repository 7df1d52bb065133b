# Judges what the layers' files include, for scripts/check-layers.sh, and
# prints one line for each include that breaks a rule.
#
# Input (tab-separated, paths relative to the checkout where they lie in it):
#   unit  E  includer  line  target  directive   includer opened target
#   unit  F  <command-line>  0  target  -      the compile flags included target
#   unit  L  includer  line  name  -           a line directive names another file
#   unit  X  includer  line  -  directive   no file found for it
# Variables: rules ("allowed LAYER LAYER..." and "free LAYER LIBRARY..."
# lines), standard (the compiler's and the C++ library's directories),
# implicit (files the compiler includes before every source by itself),
# libraries ("LAYER PATH" lines: where the field's libraries lie).
#
# An include from a file of a layer the unit's layer may not reach is not
# judged again: that file's own include is the fault reported.

function layer_of(path,    first) {
    if (path ~ /^[\/<]/ || index(path, "/") == 0) return ""
    first = substr(path, 1, index(path, "/") - 1)
    return (first in layer) ? first : ""
}

function ours(path) { return path !~ /^[\/<]/ }

function standard_file(path,    i) {
    for (i = 1; i <= n_standard; i++)
        if (index(path, standard_dir[i]) == 1) return 1
    return 0
}

function report(key, text) {
    if (key in reported) return
    reported[key] = 1
    print text seen
}

BEGIN {
    n = split(rules, lines, "\n")
    for (i = 1; i <= n; i++) {
        m = split(lines[i], w, " ")
        if (m < 2) continue
        if (w[1] == "allowed") {
            layer[w[2]] = 1
            for (j = 3; j <= m; j++) may[w[2], w[j]] = 1
        } else {
            free[w[2]] = 1
            names = ""
            for (j = 3; j <= m; j++) names = names ", " w[j]
            beyond[w[2]] = "only the C++ standard library" names
        }
    }
    n_standard = split(standard, standard_dir, "\n")
    for (i = 1; i <= n_standard; i++) standard_dir[i] = standard_dir[i] "/"
    n = split(implicit, lines, "\n")
    for (i = 1; i <= n; i++) compiler_includes[lines[i]] = 1
    n = split(libraries, lines, "\n")
    for (i = 1; i <= n; i++) {
        split(lines[i], w, " ")
        library[w[1], w[2]] = 1
    }
}

{
    unit = $1; kind = $2; includer = $3; line = $4; target = $5; directive = $6
    own = layer_of(unit)
    from = layer_of(includer)
    if (own == "" || (from != "" && !((own, from) in may))) next
    where = includer (line > 0 ? ":" line : "")
    seen = unit == includer || kind == "F" ? "" : " (compiling " unit ")"
}

kind == "E" && ours(target) {
    to = layer_of(target)
    if (to != "" && !((own, to) in may))
        report(own SUBSEP includer SUBSEP target,
               where ": includes " target ", but " own " may not include " to)
    next
}

kind == "E" && (own in free) && ours(includer) && !standard_file(target) &&
        !((own, target) in library) {
    report(own SUBSEP includer SUBSEP target,
           where ": includes " target " (#" directive "), but toolkit-free " own \
           " includes " beyond[own])
    next
}

kind == "F" && (own in free) && !(target in compiler_includes) && !standard_file(target) {
    report(own SUBSEP "flags" SUBSEP target,
           unit ": its compile flags include " target ", but toolkit-free " own \
           " includes " beyond[own])
    next
}

kind == "L" && (own in free) && ours(includer) {
    report(own SUBSEP includer SUBSEP "line",
           where ": a line directive names " target ", which would hide what " includer \
           " includes")
    next
}

kind == "X" {
    report(own SUBSEP includer SUBSEP directive,
           where ": cannot tell which file #" directive " names")
}

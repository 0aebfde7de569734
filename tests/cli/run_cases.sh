#!/bin/bash
# run_cases.sh TABLE KARVONA CHECKER SCRATCH-DIR [LIMIT-COMMAND...]
#
# Command-line cases kept as tables, so that a one-line message costs one
# line of input and one of output instead of two files. Each case runs in an
# empty directory; its exit status, standard output and the files it leaves
# are compared byte for byte. Lines of a table:
#   case NAME STATUS COMMAND   bash; karvona and karvona-check are the built ones
#   < TEXT                     a line of NAME.qdimacs (printf %b: \n, \c ends)
#   << CASE                    the input of an earlier case
#   > TEXT                     a line of the expected output (%b as above)
#   >> CASE                    the expected output of an earlier case
#   >banner V Q O C H B        the -s banner: last variable, quantified
#                              variables, clauses read and kept, heuristic (_ for
#                              a space), buckets
#   = FILE TEXT                a line of FILE as the run leaves it (%b)
#   $ COMMAND                  set-up before the run;  ! COMMAND  a check after it
#   only FILE...               the directory holds exactly these files
# "@" anywhere in a command or file name stands for NAME.qdimacs.

set -u
table=$1 karvona_binary=$(realpath "$2") checker_binary=$(realpath "$3") scratch=$4
shift 4
limit=("$@")
[ ${#limit[@]} -gt 0 ] && limit[0]=$(command -v "${limit[0]}")

rm -rf "$scratch" && mkdir -p "$scratch"/{in,out,want,files} || exit 1
karvona() { "${limit[@]}" "$karvona_binary" "$@"; }
karvona-check() { "$checker_binary" "$@"; }

passed=0 failed=0
name=''

fail() {
    echo "FAIL $name: $*"
    ok=0
}

# Runs the case gathered so far: its command, then the checks in order.
finish() {
    [ -n "$name" ] || return 0
    local run=$scratch/run ok=1 status line file
    rm -rf "$run" && mkdir "$run" && cd "$run" || exit 1
    [ -f "$scratch/in/$name" ] && cp "$scratch/in/$name" "$name.qdimacs"
    for line in "${setup[@]}"; do eval "$line" || fail "set-up failed: $line"; done
    (eval "$command") >"$scratch/out/$name"
    status=$?
    [ "$status" = "$want_status" ] || fail "exit status $status, expected $want_status"
    cmp -s "$scratch/want/$name" "$scratch/out/$name" ||
        { fail "standard output differs"; diff -u "$scratch/want/$name" "$scratch/out/$name" | sed 1,2d; }
    for line in "${checks[@]}"; do
        case $line in
        only\ *)
            local have want
            have=$(ls -A | sort | tr '\n' ' ')
            want=$(printf '%s\n' ${line#only } | sort | tr '\n' ' ')
            [ "$have" = "$want" ] || fail "files present: $have; expected: $want"
            ;;
        =*)
            file=${line#= }
            cmp -s "$scratch/files/$name/$file" "$file" ||
                { fail "$file differs"; diff -u "$scratch/files/$name/$file" "$file" | sed 1,2d; }
            ;;
        *) eval "${line#! }" || fail "check failed: ${line#! }" ;;
        esac
    done
    cd "$scratch" || exit 1
    if [ $ok = 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    name=''
}

while IFS= read -r line || [ -n "$line" ]; do
    [ "${line:0:5}" = "case " ] || line=${line//@/$name.qdimacs}
    case $line in
    '' | '#'*) ;;
    'case '*)
        finish
        read -r _ name want_status command <<<"$line"
        command=${command//@/$name.qdimacs}
        setup=() checks=()
        : >"$scratch/want/$name"
        ;;
    '<< '*) cp "$scratch/in/${line#<< }" "$scratch/in/$name" ;;
    '<'*) printf '%b\n' "${line#< }" >>"$scratch/in/$name" ;;
    '>> '*) cat "$scratch/want/${line#>> }" >>"$scratch/want/$name" ;;
    '>banner '*)
        read -r _ v q o c h b <<<"$line"
        printf '%s\n' "Version      : 2.01" "Compiled     : Oct 30 2010" "Last Variable: $v" \
            "Quant. Vars  : $q" "Orig. Clauses: $o" "Clauses      : $c" \
            "Heuristic    : ${h//_/ }" "Sig. Buckets : $b" >>"$scratch/want/$name"
        ;;
    '>'*) printf '%b\n' "${line:2}" >>"$scratch/want/$name" ;;
    '= '*)
        read -r _ file text <<<"$line"
        mkdir -p "$scratch/files/$name"
        [ -f "$scratch/files/$name/$file" ] || checks+=("= $file")
        printf '%b\n' "$text" >>"$scratch/files/$name/$file"
        ;;
    '$ '*) setup+=("${line#\$ }") ;;
    '! '* | 'only '*) checks+=("$line") ;;
    *) echo "$table: cannot read: $line" && exit 2 ;;
    esac
done <"$table"
finish

echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && rm -rf "$scratch"
[ "$failed" = 0 ]

#!/bin/bash
# files.sh CASE KARVONA EXPECT SOURCE-DIR SCRATCH-DIR
#
# The command-line cases that leave files behind. Each runs karvona in an
# empty scratch directory on a copy of its input, checks status and standard
# output through expect.sh, then checks which files exist and what they hold.
# The scratch directory is removed when the case passes.

set -u
name=$1 karvona=$2 expect=$3 src=$4 scratch=$5
input=$name.qdimacs

rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1

fail() {
    echo "$name: $*"
    exit 1
}

# same EXPECTED ACTUAL: byte-for-byte comparison of two files.
same() {
    [ -f "$2" ] || fail "$2 was not written"
    cmp -s "$1" "$2" || { diff -u "$1" "$2"; fail "$2 differs from $1"; }
}

# only FILE...: the scratch directory holds exactly these files.
only() {
    have=$(ls -A | sort | tr '\n' ' ')
    want=$(printf '%s\n' "$@" | sort | tr '\n' ' ')
    [ "$have" = "$want" ] || fail "files present: $have; expected: $want"
}

# run STATUS ARG...: karvona with the case's expected standard output.
run() {
    status=$1
    shift
    "$expect" "$status" "$src/$name.out" "$karvona" "$@" || fail "unexpected status or output"
}

case $name in
dump_after_propagation)
    cp "$src/$input" .
    run 10 -d "$input"
    same "$src/$name.dump" karvona2.qdimacs_
    only "$input" karvona2.qdimacs_
    ;;
certificate_true)
    # A certificate left by an earlier run is replaced once the answer stands.
    cp "$src/$input" .
    echo "stale certificate" >"$input.qbc"
    run 10 -c "$input"
    same "$src/$name.certificate" "$input.qbc"
    only "$input" "$input.qbc"
    ;;
certificate_empty_resolvent | certificate_false_at_load | repeated_literal_merged | universal_expansion)
    cp "$src/$input" .
    case $name in
    repeated_literal_merged) run 20 -c "$input" ;;
    universal_expansion) run 10 -s -U -I -c "$input" ;;
    *) run 20 -s -c "$input" ;;
    esac
    same "$src/$name.certificate" "$input.qbc"
    only "$input" "$input.qbc"
    ;;
certificate_header_beyond_use)
    # Variables made while solving follow those that occur, not the header's
    # count; the certificate's indexes still start above it.
    cp "$src/header_variables_beyond_use.qdimacs" "$input"
    run 10 -s -U -c "$input"
    same "$src/$name.certificate" "$input.qbc"
    only "$input" "$input.qbc"
    ;;
certificate_unwritable)
    # Root may write anywhere on an ordinary file system, but nobody can
    # create files in /proc/PID/fd. The input is read through its descriptor
    # there, so the certificate would have to go next to it.
    exec 3<"$src/certificate_true.qdimacs"
    cd /proc/self || fail "no /proc"
    run 30 -c fd/3
    ;;
compressed_input)
    # Every format gives the plain file's answer and certificate, under the
    # name given plus .qbc.
    cp "$src/certificate_true.qdimacs" f
    gzip -c f >f.gz && bzip2 -c f >f.bz2 && xz -c f >f.xz && xz --format=lzma -c f >f.lzma &&
        zstd -q -c f >f.zst || fail "cannot compress"
    for z in gz bz2 xz lzma zst; do
        run 10 -c f.$z
        same "$src/certificate_true.certificate" f.$z.qbc
    done
    ;;
compressed_input_broken)
    # The cut-off trailer leaves every byte of the formula readable: only the
    # decompressor's status tells. A missing decompressor is no hang either.
    gzip -c "$src/certificate_true.qdimacs" | head -c -4 >cut.gz
    run 30 -c cut.gz
    only cut.gz
    zstd -q -c "$src/certificate_true.qdimacs" >f.zst
    mkdir empty
    "$expect" 30 "$src/compressed_input_missing_tool.out" env PATH="$PWD/empty" "$karvona" f.zst ||
        fail "unexpected status or output without zstd"
    ;;
qdo_certificate)
    # --qdo alone writes no file; with -c the certificate is the usual one.
    cp "$src/certificate_true.qdimacs" "$input"
    run 10 --qdo "$input"
    only "$input"
    run 10 --qdo -c "$input"
    same "$src/certificate_true.certificate" "$input.qbc"
    ;;
time_limit)
    # A random 3-CNF in one existential block near the threshold ratio:
    # distributing clauses over it takes far longer than one CPU second. Only
    # the soft limit is lowered: at the hard limit the kernel kills the
    # process outright instead of sending SIGXCPU.
    cp "$src/$input" .
    echo "previous certificate" >"$input.qbc"
    cp "$input.qbc" previous
    (ulimit -S -t 1 && run 0 -c "$input") || exit 1
    same previous "$input.qbc"
    [ "$(head -n 1 "$input.qbc.tmp")" = QBCertificate ] || fail "no certificate header in $input.qbc.tmp"
    only "$input" "$input.qbc" "$input.qbc.tmp" previous
    ;;
*)
    fail "no such case"
    ;;
esac

cd / && rm -rf "$scratch"

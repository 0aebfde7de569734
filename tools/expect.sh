#!/bin/sh
# expect.sh STATUS EXPECTED-STDOUT COMMAND...
#
# Runs COMMAND and succeeds when its exit status is STATUS and its standard
# output equals the file EXPECTED-STDOUT byte for byte. karvona answers with
# statuses 10 and 20, which a test driver would otherwise count as failures.
# On a mismatch the difference is printed and the status is 1.

want_status=$1
expected=$2
shift 2

actual=$(mktemp "${TMPDIR:-/tmp}/expect.XXXXXX") || exit 1
trap 'rm -f "$actual"' EXIT

"$@" >"$actual"
status=$?

result=0
if [ "$status" -ne "$want_status" ]; then
    echo "exit status $status, expected $want_status: $*"
    result=1
fi
if ! cmp -s "$expected" "$actual"; then
    echo "standard output differs from $expected: $*"
    diff -u "$expected" "$actual" | sed 1,2d
    result=1
fi
exit $result

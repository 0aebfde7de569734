#!/usr/bin/env bash
# example_test.sh EXAMPLE KARVONA CHECKER FORMULA SCRATCH: the example's
# certificate must prove its formula true and equal, byte for byte, the
# certificate karvona -c writes for the same formula read from a file.
set -u
example=$1 karvona=$2 checker=$3 formula=$4 scratch=$5
rm -rf "$scratch" && mkdir -p "$scratch" && cd "$scratch" || exit 1
cp "$formula" formula.qdimacs

out=$("$example" built.qbc); status=$?
[ "$status" = 10 ] && [ "$out" = "TRUE, certificate in built.qbc" ] ||
    { echo "example: status $status, output: $out"; exit 1; }
"$karvona" -c formula.qdimacs > /dev/null; status=$?
[ "$status" = 10 ] || { echo "karvona: status $status"; exit 1; }
cmp built.qbc formula.qdimacs.qbc || exit 1
"$checker" formula.qdimacs built.qbc; status=$?
[ "$status" = 10 ] || { echo "karvona-check: status $status"; exit 1; }

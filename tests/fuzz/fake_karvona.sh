#!/bin/sh
# Stands in for karvona in the tests of the differential driver itself:
# FAKE_KARVONA=true answers TRUE to everything, =crash dies by a signal,
# =spin runs until its CPU limit and then reports it as karvona does.
case "$FAKE_KARVONA" in
true) echo TRUE; exit 10 ;;
crash) kill -SEGV $$ ;;
spin)
    trap 'echo; echo "TIME LIMIT EXCEEDED"; exit 0' XCPU
    while :; do :; done ;;
esac
exit 1

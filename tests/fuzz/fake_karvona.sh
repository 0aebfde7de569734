#!/bin/sh
# Stands in for karvona in the tests of the differential driver itself:
# FAKE_KARVONA=true answers TRUE to everything, =crash dies by a signal.
case "$FAKE_KARVONA" in
true) echo TRUE; exit 10 ;;
crash) kill -SEGV $$ ;;
esac
exit 1

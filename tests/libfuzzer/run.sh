#!/bin/bash
# run.sh BUILD-DIR SECONDS [BENCHMARK-DIR]
#
# Seeds the corpora of the libFuzzer targets in BUILD-DIR (the fuzz preset's
# build) and runs each target for SECONDS. The reader's corpus gets
# generated formulas and the smallest benchmark instances; the whole-run
# target's inputs are an option byte, sometimes an order, and a generated
# formula small enough for brute force. Corpora live in a temporary
# directory; the benchmark directory is only read. Exits non-zero when a
# target found a fault; its input is left in the artifacts directory named
# in the output.

set -u
build=$1 seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
benchmarks=${3:-$here/../../../shared/benchmarks}
gen=$build/tools/karvona-gen
work=$(mktemp -d "${TMPDIR:-/tmp}/karvona-libfuzzer.XXXXXX") || exit 1
mkdir -p "$work/read" "$work/run" "$work/artifacts"

for seed in $(seq 1 200); do
    "$gen" "$seed" >"$work/read/gen-$seed"
    flags=$((seed * 37 % 128))
    {
        if ((seed % 4 == 0)); then
            # An order of three entries after the option byte.
            printf "\\$(printf %03o $((flags | 128)))\\003\\001\\002\\003"
        else
            printf "\\$(printf %03o $flags)"
        fi
        "$gen" "$seed" --vars 1 10
    } >"$work/run/gen-$seed"
done
if [ -f "$benchmarks/manifest.tsv" ]; then
    # The eight smallest instances by size in bytes (last column).
    tail -n +2 "$benchmarks/manifest.tsv" | sort -t$'\t' -k8,8n | head -n 8 | cut -f1 |
        while read -r path; do
            cp "$benchmarks/$path" "$work/read/bench-$(basename "$path")"
        done
else
    echo "run.sh: no benchmark set at $benchmarks; seeding from generated formulas only"
fi

# A header with a huge variable count makes the reader size its tables
# accordingly, and the driver reports memory exhaustion. Out of memory is
# karvona's answer there, so allocations fail with bad_alloc instead of
# counting as a fault.
export ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

status=0 passed=0 failed=0
for target in read run; do
    extra=()
    [ "$target" = read ] && extra=(-dict="$here/qdimacs.dict")
    echo "== fuzz_$target for $seconds s, corpus $work/$target"
    "$build/tests/libfuzzer/fuzz_$target" "${extra[@]}" -max_total_time="$seconds" -timeout=20 \
        -rss_limit_mb=4096 -malloc_limit_mb=4096 -print_final_stats=1 \
        -artifact_prefix="$work/artifacts/$target-" "$work/$target" >"$work/$target.log" 2>&1
    result=$?
    grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::number_of_executed_units|^Done ' "$work/$target.log"
    if [ $result -ne 0 ]; then
        echo "fuzz_$target FAILED (status $result); log $work/$target.log, input:"
        ls "$work/artifacts/$target-"* 2>/dev/null
        tail -n 60 "$work/$target.log"
        status=1
        failed=$((failed + 1))
    else
        passed=$((passed + 1))
    fi
done
[ $status -eq 0 ] && rm -rf "$work"
echo "libfuzzer: $passed passed, $failed failed"
exit $status

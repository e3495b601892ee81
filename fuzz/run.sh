#!/bin/sh
# Runs every fuzz target for a bounded time; fails on any crash, leak, timeout
# or broken invariant (a target aborts on those). Each target may have beside
# this script a dictionary <name>.dict and extra libFuzzer flags <name>.options,
# <name> being the target's name without "fuzz_".
# Usage: fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET
set -eu
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work="$here/corpus-run"
status=0
for target in "$build"/bin/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    short=${name#fuzz_}
    mkdir -p "$work/$name" "$work/$name-artifacts"
    seeds="$here/seeds/$short"
    [ -d "$seeds" ] || seeds=""
    extra=""
    [ -f "$here/$short.dict" ] && extra="-dict=$here/$short.dict"
    [ -f "$here/$short.options" ] && extra="$extra $(grep -v '^#' "$here/$short.options" | tr '\n' ' ')"
    log="$work/$name.log"
    echo "== $name for ${seconds}s"
    # shellcheck disable=SC2086
    if "$target" "$work/$name" $seeds -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$name-artifacts/" -print_final_stats=1 $extra >"$log" 2>&1; then
        # The last status line holds the coverage (cov: edges, ft: features) and the corpus.
        grep -E '^#[0-9]+' "$log" | tail -1 || true
        grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
    else
        echo "!! $name failed; see $log"
        tail -40 "$log"
        status=1
    fi
done
exit $status

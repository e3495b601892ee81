#!/bin/sh
# Runs every fuzz target for a bounded time; fails on any crash, leak, timeout
# or round-trip mismatch. Usage: fuzz/run.sh BUILD_DIR SECONDS_PER_TARGET
set -eu
build=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
work="$here/corpus-run"
status=0
for target in "$build"/bin/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    mkdir -p "$work/$name" "$work/$name-artifacts"
    seeds="$here/seeds/${name#fuzz_}"
    [ -d "$seeds" ] || seeds=""
    log="$work/$name.log"
    echo "== $name for ${seconds}s"
    if "$target" "$work/$name" $seeds -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$work/$name-artifacts/" -print_final_stats=1 >"$log" 2>&1; then
        grep -E '^#[0-9]+.*DONE' "$log" | tail -1 || true
        grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$log" || true
    else
        echo "!! $name failed; see $log"
        tail -40 "$log"
        status=1
    fi
done
exit $status

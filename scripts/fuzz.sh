#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each from its seed corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 60 seconds, every target
# Up to FUZZ_PARALLEL targets (default: the number of cores) run side by side, one process each.
# Exits non-zero when any target finds something (crash, sanitizer report, leak, time-out or memory
# blow-up); the input that caused it is left in build-fuzz/findings/. Copy it to tests/data/regress/
# as <target>-<what>.<ext> so the regression test keeps replaying it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(xml path style css conversion)
parallel="${FUZZ_PARALLEL:-$(nproc)}"
build="$root/build-fuzz"

# Optimised, but with assertions on: an assertion that fails is a finding too.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBELIN_FUZZ=ON \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g" -DORBELIN_BUILD_TESTS=OFF -DORBELIN_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orbelin_fuzzers
mkdir -p "$build/findings"

run_target() {
    local target="$1"
    # A fresh working corpus each run: the seeds stay as committed.
    local work="$build/corpus-$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp "$root/tests/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true
    if [ "$target" = xml ] || [ "$target" = conversion ]; then
        cp "$root"/examples/*.svg "$root"/tests/data/golden/*.svg "$work/"
        find "$root/tests/data/hostile" -maxdepth 1 -type f -size -16k -exec cp {} "$work/" \;
    fi
    # -timeout: one input taking longer is a hang; -rss_limit_mb: a blow-up is a finding too.
    "$build/tests/fuzz/fuzz_$target" "$work" -dict="$root/tests/fuzz/svg.dict" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target-" >"$build/fuzz-$target.log" 2>&1
}

failed=0
for ((first = 0; first < ${#targets[@]}; first += parallel)); do
    batch=("${targets[@]:first:parallel}")
    pids=()
    for target in "${batch[@]}"; do
        echo "== fuzz_$target for ${seconds}s"
        run_target "$target" &
        pids+=($!)
    done
    for i in "${!batch[@]}"; do
        target="${batch[$i]}"
        status=0
        wait "${pids[$i]}" || status=$?
        log="$build/fuzz-$target.log"
        echo "-- fuzz_$target:"
        grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb))' \
            "$log" || true
        if [ "$status" -ne 0 ]; then
            tail -n 60 "$log" >&2
            echo "fuzz_$target found a problem (exit $status); the input is in $build/findings/" >&2
            failed=1
        fi
    done
done
exit "$failed"

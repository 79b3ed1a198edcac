#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each from its seed corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default: 60 seconds, every target
# Exits non-zero on the first finding (crash, sanitizer report, leak, time-out or memory blow-up);
# the input that caused it is left in build-fuzz/findings/. Copy it to tests/data/regress/ as
# <target>-<what>.bin so the regression test keeps replaying it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(xml path style conversion)
build="$root/build-fuzz"

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBELIN_FUZZ=ON \
    -DORBELIN_BUILD_TESTS=OFF -DORBELIN_BUILD_GUI=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target orbelin_fuzzers

mkdir -p "$build/findings"
for target in "${targets[@]}"; do
    # A fresh working corpus each run: the seeds stay as committed.
    work="$build/corpus-$target"
    rm -rf "$work"
    mkdir -p "$work"
    cp "$root/tests/fuzz/corpus/$target/"* "$work/" 2>/dev/null || true
    if [ "$target" = xml ] || [ "$target" = conversion ]; then
        cp "$root"/examples/*.svg "$root"/tests/data/golden/*.svg "$work/"
        find "$root/tests/data/hostile" -maxdepth 1 -type f -size -16k -exec cp {} "$work/" \;
    fi
    echo "== fuzz_$target for ${seconds}s"
    # -timeout: one input taking longer is a hang; -rss_limit_mb: a blow-up is a finding too.
    log="$build/fuzz-$target.log"
    status=0
    "$build/tests/fuzz/fuzz_$target" "$work" -dict="$root/tests/fuzz/svg.dict" \
        -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=16384 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$target-" >"$log" 2>&1 || status=$?
    grep -E '^(#[0-9]+[[:space:]]+(INITED|DONE)|stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb))' "$log" || true
    if [ "$status" -ne 0 ]; then
        tail -n 60 "$log" >&2
        echo "fuzz_$target found a problem (exit $status); the input is in $build/findings/" >&2
        exit 1
    fi
done

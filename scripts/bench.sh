#!/usr/bin/env bash
# Speed of whole conversions on generated drawings, against the time it takes merely to read the
# input and write a file of the output's size. Not part of the tests: timings depend on the machine.
#
#   scripts/bench.sh [--no-micro] [--save-reference]
#
# Environment: BENCH_SIZES (MB, default "1 10 50"), BENCH_KINDS (default all seven), BENCH_RUNS (best of,
# default 5), BENCH_BUILD (default build-bench), BENCH_CONVERT (another orbelin-convert to measure, for
# a before/after comparison), BENCH_OPTIONS (options for every conversion, such as --curves=native).
# Drawings and outputs live in $BENCH_BUILD/bench/.
# Every output's SHA-256 is listed in checksums.txt there; --save-reference keeps the list as the
# reference that later runs are compared with, so a speed change that alters one byte shows at once.
set -euo pipefail
export LC_ALL=C
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BENCH_BUILD:-$root/build-bench}"
sizes="${BENCH_SIZES:-1 10 50}"
kinds="${BENCH_KINDS:-paths hugepath longpath shapes groups text elements}"
# Shared machines change speed from one run to the next; conversions and floors alike take the best.
runs="${BENCH_RUNS:-5}"
micro=1
save_reference=0
for arg in "$@"; do
    case "$arg" in
        --no-micro) micro=0 ;;
        --save-reference) save_reference=1 ;;
        *) echo "usage: scripts/bench.sh [--no-micro] [--save-reference]" >&2; exit 2 ;;
    esac
done

if [ ! -x /usr/bin/time ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update >/dev/null
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends time >/dev/null
fi
"$root/scripts/install-deps.sh"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DORBELIN_BUILD_BENCH=ON -DORBELIN_BUILD_GUI=OFF \
      >/dev/null
targets=(orbelin-convert orbelin-svggen)
[ "$micro" -eq 0 ] || targets+=(orbelin-microbench)
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

work="$build/bench"
mkdir -p "$work"
convert="${BENCH_CONVERT:-$build/orbelin-convert}"
results="$work/results.md"
checksums="$work/checksums.txt"
: >"$checksums"

now() { echo "$EPOCHREALTIME"; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
smaller() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b < a) ? b : a }'; }

# Entities of the ENTITIES section and the vertices of its LWPOLYLINEs; groups come as line pairs.
count_output() {
    awk 'NR % 2 == 1 { code = $1 + 0; next }
         code == 0 { if ($0 == "SECTION" || $0 == "ENDSEC" || $0 == "EOF") { type = ""; next }
                     type = $0; if (section == "ENTITIES") entities++ }
         code == 2 && type == "" { section = $0 }
         code == 10 && type == "LWPOLYLINE" && section == "ENTITIES" { vertices++ }
         END { printf "%d %d\n", entities, vertices }' "$1"
}

{
    echo "Machine: $(nproc) cores, $(lscpu | sed -n 's/^Model name: *//p' | head -1)," \
         "$(free -g | awk '/^Mem:/ { print $2 }') GB memory; best of $runs runs."
    echo
    echo "| drawing | input MB | output MB | time s | CPU s | input MB/s | entities | vertices |" \
         "Mvertices/s | peak RSS MB | floor dd s | floor head s | time / dd | time / head |"
    echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
} | tee "$results"

declare -A seconds cpu_seconds
verdicts=()
memory_verdicts=()
for kind in $kinds; do
    for size in $sizes; do
        svg="$work/$kind-$size.svg"
        dxf="$work/$kind-$size.dxf"
        floor_file="$work/floor.tmp"
        [ -s "$svg" ] || "$build/bench/orbelin-svggen" "$kind" "$size" "$svg"
        in_bytes=$(stat -c %s "$svg")

        best="" cpu="" rss=""
        for ((run = 0; run < runs; run++)); do
            rm -f "$dxf"
            # Written-back pages of earlier runs would otherwise throttle this one's writes.
            sync
            start=$(now)
            /usr/bin/time -f "%M %U %S" -o "$work/time.txt" "$convert" ${BENCH_OPTIONS:-} "$svg" "$dxf" >/dev/null
            stop=$(now)
            best=$(smaller "$best" "$(elapsed "$start" "$stop")")
            read -r run_rss run_user run_sys <"$work/time.txt"
            rss=$(smaller "$rss" "$run_rss")
            cpu=$(smaller "$cpu" "$(awk -v u="$run_user" -v s="$run_sys" 'BEGIN { printf "%.2f", u + s }')")
        done
        out_bytes=$(stat -c %s "$dxf")

        # Two floors: dd in 1 MiB blocks (the least a program can pay) and head, which writes in the
        # 4 KiB pieces of ordinary stdio output.
        floor_dd="" floor_head=""
        for ((run = 0; run < runs; run++)); do
            rm -f "$floor_file"
            sync
            start=$(now)
            cat "$svg" >/dev/null
            dd if=/dev/zero of="$floor_file" bs=1M count="$out_bytes" iflag=count_bytes status=none
            stop=$(now)
            floor_dd=$(smaller "$floor_dd" "$(elapsed "$start" "$stop")")
            rm -f "$floor_file"
            sync
            start=$(now)
            cat "$svg" >/dev/null
            head -c "$out_bytes" /dev/zero >"$floor_file"
            stop=$(now)
            floor_head=$(smaller "$floor_head" "$(elapsed "$start" "$stop")")
        done
        rm -f "$floor_file"

        read -r entities vertices < <(count_output "$dxf")
        (cd "$work" && sha256sum "$kind-$size.dxf") >>"$checksums"
        rm -f "$dxf"
        seconds[$kind-$size]=$best
        cpu_seconds[$kind-$size]=$cpu

        awk -v k="$kind" -v i="$in_bytes" -v o="$out_bytes" -v t="$best" -v c="$cpu" -v e="$entities" \
            -v v="$vertices" -v r="$rss" -v fd="$floor_dd" -v fh="$floor_head" 'BEGIN {
                mb = 1048576
                printf "| %s | %.1f | %.1f | %.3f | %.2f | %.2f | %d | %d | %.2f | %.0f | %.3f | %.3f | %.2f | %.2f |\n",
                       k, i / mb, o / mb, t, c, i / mb / t, e, v, v / t / 1e6, r / 1024, fd, fh, t / fd, t / fh }' |
            tee -a "$results"

        # Memory has a limit on every drawing: three times the input plus 64 MB.
        memory_verdicts+=("$(awk -v k="$kind" -v s="$size" -v r="$rss" -v i="$in_bytes" 'BEGIN {
            limit = 3 * i + 64 * 1048576
            printf "%s %s MB: peak RSS %.0f MB, limit %.0f MB (%s)", k, s, r / 1024, limit / 1048576,
                   r * 1024 <= limit ? "ok" : "over" }')")

        if [ "$kind" = paths ] && [ "$size" = 10 ]; then
            verdicts+=("$(awk -v t="$best" -v fd="$floor_dd" -v fh="$floor_head" -v r="$rss" -v i="$in_bytes" 'BEGIN {
                limit = 3 * i + 64 * 1048576
                printf "paths 10 MB: time / dd floor %.2f (%s), time / head floor %.2f (%s), limit 3; " \
                       "peak RSS %.0f MB, limit %.0f MB (%s)",
                       t / fd, t <= 3 * fd ? "ok" : "over", t / fh, t <= 3 * fh ? "ok" : "over",
                       r / 1024, limit / 1048576, r * 1024 <= limit ? "ok" : "over" }')")
        fi
    done
done

# Growth: the time factor per doubling of the input between neighbouring sizes (linear is 2.0), from
# the wall time and from the CPU time (which a busy machine disturbs less).
{
    echo
    echo "| drawing | sizes MB | time ratio | per doubling (limit 2.2) | CPU ratio | per doubling, CPU |"
    echo "|---|---|---:|---:|---:|---:|"
    for kind in $kinds; do
        previous=""
        for size in $sizes; do
            if [ -n "$previous" ]; then
                awk -v k="$kind" -v a="$previous" -v b="$size" -v ta="${seconds[$kind-$previous]}" \
                    -v tb="${seconds[$kind-$size]}" -v ca="${cpu_seconds[$kind-$previous]}" \
                    -v cb="${cpu_seconds[$kind-$size]}" 'BEGIN {
                        doublings = log(b / a) / log(2)
                        ratio = tb / ta; per = exp(log(ratio) / doublings)
                        cratio = ca > 0 ? cb / ca : 0; cper = cratio > 0 ? exp(log(cratio) / doublings) : 0
                        printf "| %s | %s to %s | %.2f | %.2f%s | %.2f | %.2f |\n", k, a, b, ratio, per,
                               per <= 2.2 ? "" : " (over)", cratio, cper }'
            fi
            previous=$size
        done
    done
    echo
    for verdict in "${verdicts[@]}"; do echo "$verdict"; done
    for verdict in "${memory_verdicts[@]}"; do echo "$verdict"; done
} | tee -a "$results"

sort -k2 "$checksums" -o "$checksums"
total=$(sha256sum <"$checksums" | cut -c1-16)
echo "Output checksum: $total (per file: $checksums)" | tee -a "$results"
if [ "$save_reference" -eq 1 ]; then
    cp "$checksums" "$work/checksums.reference"
    echo "saved as the reference"
elif [ -f "$work/checksums.reference" ]; then
    if join -j2 "$work/checksums.reference" "$checksums" | awk '$2 != $3 { bad = 1; print "differs: " $1 }
                                                              END { exit bad }'; then
        echo "Outputs identical to the reference for every drawing measured."
    else
        echo "OUTPUTS DIFFER from the reference" >&2
        exit 1
    fi
fi

if [ "$micro" -eq 1 ]; then
    echo
    "$build/bench/orbelin-microbench" --benchmark_min_time=0.2
fi

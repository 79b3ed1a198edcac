#!/usr/bin/env bash
# Builds Orbelin and runs it: the window when there is a display; otherwise (or when files are given)
# the command line converts the given drawings, or the bundled example.
#   scripts/run.sh [OPTIONS] [FILE.svg ...]
# OPTIONS (anything starting with "-", up to a "--") go to orbelin-convert for every file; options
# without files go to orbelin-convert alone (--help, for example).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
options=()
files=()
while [ "$#" -gt 0 ]; do
    case "$1" in
        --) shift; files+=("$@"); break ;;
        -*) options+=("$1") ;;
        *) files+=("$1") ;;
    esac
    shift
done
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target orbelin-convert $( [ -f "$root/src/app/CMakeLists.txt" ] && echo orbelin )
if [ "${#files[@]}" -gt 0 ]; then
    status=0
    for file in "${files[@]}"; do
        "$root/build/orbelin-convert" ${options[@]+"${options[@]}"} -- "$file" && echo "converted $file" || status=1
    done
    exit $status
fi
if [ "${#options[@]}" -gt 0 ]; then
    exec "$root/build/orbelin-convert" "${options[@]}"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$root/build/src/app/orbelin" ]; then
    exec "$root/build/src/app/orbelin"
fi
out="$root/build/example.dxf"
"$root/build/orbelin-convert" "$root/examples/example.svg" "$out"
echo "No display: converted examples/example.svg to $out"

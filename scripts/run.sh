#!/usr/bin/env bash
# Builds Orbelin and runs it: the window when there is a display; otherwise (or when files are given)
# the command line converts the given drawings, or the bundled example.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build" -j"$(nproc)" --target orbelin-convert $( [ -f "$root/src/app/CMakeLists.txt" ] && echo orbelin )
if [ "$#" -gt 0 ]; then
    status=0
    for file in "$@"; do
        "$root/build/orbelin-convert" "$file" && echo "converted $file" || status=1
    done
    exit $status
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$root/build/src/app/orbelin" ]; then
    exec "$root/build/src/app/orbelin"
fi
out="$root/build/example.dxf"
"$root/build/orbelin-convert" "$root/examples/example.svg" "$out"
echo "No display: converted examples/example.svg to $out"

#!/usr/bin/env bash
# Shows the window under a virtual X server and saves what it looks like.
#   scripts/screenshot.sh [--run] [OUT.png] [PROGRESS]
# PROGRESS (0-99) shows the progress bar at that value, as during a conversion. With --run a
# generated drawing is really converted and the picture is taken while it runs, with Cancel live,
# once the bar reaches PROGRESS (40 by default); the run is then stopped.
# Uses the window built in build/ (or $ORBELIN_BUILD_DIR); builds it when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORBELIN_BUILD_DIR:-$root/build}"
run=""
if [ "${1:-}" = "--run" ]; then
    run=1
    shift
fi
out="$(realpath -m "${1:-$root/build/orbelin-window.png}")"
if [ ! -x "$build/src/app/orbelin" ]; then
    cmake -S "$root" -B "$build" >/dev/null
    cmake --build "$build" -j"$(nproc)" --target orbelin
fi
mkdir -p "$(dirname "$out")"
rm -f "$out"
# A scratch settings folder, so a screenshot neither reads nor changes the user's fill option.
config="$(mktemp -d /tmp/orbelin-XXXXXX)"
trap 'rm -rf "$config"' EXIT
drawing=""
if [ -n "$run" ]; then
    drawing="$config/Drawings/site-plan.svg"
    mkdir -p "$(dirname "$drawing")"
    {
        echo '<svg xmlns="http://www.w3.org/2000/svg" width="1000" height="1000"><g id="plan">'
        for i in $(seq 0 4999); do
            echo "<path d=\"M$((i % 997)) 0 L10 $i L$((i % 89)) $((i % 61)) Z\" stroke=\"#204080\" fill=\"none\"/>"
        done
        echo '</g></svg>'
    } >"$drawing"
fi
status=0
env XDG_CONFIG_HOME="$config" ORBELIN_SCREENSHOT="$out" ${2:+ORBELIN_SCREENSHOT_PROGRESS="$2"} \
    ${drawing:+ORBELIN_SCREENSHOT_RUN="$drawing"} \
    xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$build/src/app/orbelin" || status=$?
[ -s "$out" ] || { echo "no screenshot was taken (exit status $status)" >&2; exit 1; }
echo "$out"

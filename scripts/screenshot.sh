#!/usr/bin/env bash
# Shows the window under a virtual X server and saves what it looks like.
#   scripts/screenshot.sh [OUT.png] [PROGRESS]
# PROGRESS (0-99) shows the progress bar at that value, as during a conversion.
# Uses the window built in build/ (or $ORBELIN_BUILD_DIR); builds it when missing.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ORBELIN_BUILD_DIR:-$root/build}"
out="$(realpath -m "${1:-$root/build/orbelin-window.png}")"
if [ ! -x "$build/src/app/orbelin" ]; then
    cmake -S "$root" -B "$build" >/dev/null
    cmake --build "$build" -j"$(nproc)" --target orbelin
fi
mkdir -p "$(dirname "$out")"
rm -f "$out"
# A scratch settings folder, so a screenshot neither reads nor changes the user's fill option.
config="$(mktemp -d)"
trap 'rm -rf "$config"' EXIT
status=0
env XDG_CONFIG_HOME="$config" ORBELIN_SCREENSHOT="$out" ${2:+ORBELIN_SCREENSHOT_PROGRESS="$2"} \
    xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" "$build/src/app/orbelin" || status=$?
[ -s "$out" ] || { echo "no screenshot was taken (exit status $status)" >&2; exit 1; }
echo "$out"

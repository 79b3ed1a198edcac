#!/usr/bin/env bash
# Builds Orbelin and runs every test: the plain build, then the whole suite again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz target for a minute from its seeds.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
jobs="$(nproc)"

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBELIN_WERROR=ON >/dev/null
cmake --build "$root/build" -j"$jobs"
(cd "$root/build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$jobs")

cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DORBELIN_SANITIZE=ON -DORBELIN_WERROR=ON \
      -DORBELIN_BUILD_GUI=OFF >/dev/null
cmake --build "$root/build-asan" -j"$jobs"
(cd "$root/build-asan" && ctest --output-on-failure -j"$jobs")

# libFuzzer targets (clang): any crash, sanitizer report, hang or leak fails the run.
"$root/scripts/fuzz.sh" 60

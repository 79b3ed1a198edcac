#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the window and the tests need. Safe to run again.
set -euo pipefail
packages=(build-essential cmake pkg-config libdxflib-dev libgtest-dev libbenchmark-dev
          qt6-base-dev python3 python3-ezdxf clang libclang-rt-14-dev locales xvfb xauth
          desktop-file-utils python3-matplotlib python3-pil python3-numpy librsvg2-bin
          libfontconfig-dev libharfbuzz-dev libfreetype-dev fonts-dejavu-core)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update
    # Without --no-install-recommends qt6-base-dev pulls in a whole GTK stack.
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
# The tests convert under a comma-decimal locale to prove numbers do not follow it.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "note: could not generate de_DE.UTF-8; locale tests will skip"
fi

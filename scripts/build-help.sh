#!/usr/bin/env bash
# Rebuilds the compiled help file src/app/Orbelin.chm from the pages in docs/help. Run it after
# editing the guide and commit the result; the build only copies the committed file.
# Needs chmcmd (Debian package fp-utils).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if ! command -v chmcmd >/dev/null; then
    echo "chmcmd not found: apt-get install --no-install-recommends fp-utils" >&2
    exit 1
fi
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cp "$root"/docs/help/* "$work/"
(cd "$work" && chmcmd --verbosity 1 Orbelin.hhp)
cp "$work/Orbelin.chm" "$root/src/app/Orbelin.chm"
echo "wrote src/app/Orbelin.chm"

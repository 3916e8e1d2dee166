#!/usr/bin/env bash
# Runs the desktop program under Xvfb on every example project and writes PNGs: the window
# as it opens (<out>/<group>.png) and the first page of every module kind
# (<out>/<group>/<PREFIX>.png). Usage: scripts/screenshots.sh [out-folder]
# BUILD_DIR selects the build tree (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-$build/screenshots}
tarq="$build/tarq"
if [ ! -x "$tarq" ]; then
  echo "screenshots: $tarq not found; build the desktop program first (needs Qt 6)" >&2
  exit 1
fi
command -v xvfb-run >/dev/null || { echo "screenshots: xvfb-run is missing (package xvfb)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Fresh per-user settings: every picture starts from the default 900 x 700 placement.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$out"
status=0
for example in examples/*/; do
  group=$(basename "$example")
  # A copy, so that no lock or backup file lands in the examples.
  cp -r "$example" "$work/$group"
  xvfb-run -a -s "-screen 0 1280x1024x24" "$tarq" "$work/$group" --screenshot "$out/$group.png" || status=1
  xvfb-run -a -s "-screen 0 1280x1024x24" "$tarq" "$work/$group" --screenshot-pages "$out/$group" || status=1
done
exit $status

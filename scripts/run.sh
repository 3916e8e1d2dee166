#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: the desktop program on the bundled
# Fenn example project. Without a display it prints the project's pages headless instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
project=examples/fenn
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/tarq ]; then
  exec build/tarq "$project" "$@"
fi
echo "No display: showing the project headless (tarq-cli info and show)." >&2
build/tarq-cli info "$project"
exec build/tarq-cli show "$project" "$@"

#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job on the bundled example project.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec build/tarq-cli info examples/fenn/ApplicationConfig/appconfig.h "$@"

#!/usr/bin/env bash
# Takes the pictures of the tool manual (docs/manual/images) with scripts/screenshots.sh: the
# main window on the Fenn example and the page of its first serial port. Run it after a change
# that alters what they show; the build makes help/ConfigTool.pdf from docs/manual.
# BUILD_DIR selects the build tree (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT
bash scripts/screenshots.sh "$shots"
mkdir -p docs/manual/images/fenn
cp "$shots/fenn.png" docs/manual/images/fenn.png
cp "$shots/fenn/SCI_0.png" docs/manual/images/fenn/SCI_0.png
echo "manual-pictures: docs/manual/images updated"

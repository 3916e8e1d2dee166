#!/usr/bin/env bash
# Start-up and page-switch times of the desktop program on the example project with the
# most modules. Start-up: from process start to the first painted main window (the program
# prints when its first paint has been handed to the screen). Page switch: the median time
# of showing another module's page, painted, over many switches in one run.
# Usage: bench/startup.sh [runs]   BUILD_DIR selects the build tree (default: build).
# Without a display the measurement runs under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-9}
build=${BUILD_DIR:-build}
tarq="$build/tarq"
cli="$build/tarq-cli"
for program in "$tarq" "$cli"; do
  [ -x "$program" ] || { echo "bench/startup.sh: $program is missing; build first" >&2; exit 2; }
done
if [ -z "${DISPLAY:-}" ] && [ -z "${TARQ_BENCH_IN_XVFB:-}" ]; then
  export TARQ_BENCH_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

# The project with the most modules: the longest tree listing.
largest=""
most=0
for example in examples/*/; do
  count=$("$cli" info "$example" 2>/dev/null | wc -l)
  if [ "$count" -gt "$most" ]; then most=$count; largest=$example; fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$largest" "$work/project"
export XDG_CONFIG_HOME="$work/config"
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

echo "project: $largest ($most lines of module listing), $runs runs, display ${DISPLAY}"
# One run first that is not counted: it brings the program and Qt into the file cache.
"$tarq" "$work/project" --exit-after-paint >/dev/null 2>&1

starts=()
for _ in $(seq "$runs"); do
  t0=$(date +%s%N)
  paint=$("$tarq" "$work/project" --exit-after-paint 2>/dev/null | awk '/first-paint-epoch-ms/ {print $2}')
  [ -n "$paint" ] || { echo "bench/startup.sh: no paint reported" >&2; exit 1; }
  starts+=("$(awk -v p="$paint" -v t="$t0" 'BEGIN {printf "%.1f", p - t / 1e6}')")
done
echo "start to first paint, ms: ${starts[*]}"
echo "start to first paint, median ms: $(printf '%s\n' "${starts[@]}" | median)"

switches=()
for _ in $(seq "$runs"); do
  value=$("$tarq" "$work/project" --bench-page-switch 200 2>/dev/null | awk '/page-switch-median-ms/ {print $2}')
  [ -n "$value" ] || { echo "bench/startup.sh: no page-switch time reported" >&2; exit 1; }
  switches+=("$value")
done
echo "page switch, median ms per run: ${switches[*]}"
echo "page switch, median ms: $(printf '%s\n' "${switches[@]}" | median)"

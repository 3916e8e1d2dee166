#!/usr/bin/env bash
# Times whole processes on the largest example project: `tarq-cli reprocess` against
# `gcc -E -dM` on the same header and against `cp` of it. Prints medians and ratios.
# Usage: bench/reprocess.sh [runs]   (TARQ_BUILD_DIR, default build/, must hold tarq-cli)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
cli=${TARQ_BUILD_DIR:-build}/tarq-cli
[ -x "$cli" ] || { echo "$cli is missing: run scripts/build.sh first" >&2; exit 2; }

largest=$(ls -S examples/*/ApplicationConfig/appconfig.h | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -r "$(dirname "$(dirname "$largest")")" "$work/project"
header="$work/project/ApplicationConfig/appconfig.h"
# The compiler needs the headers the project includes; empty stand-ins will do.
mkdir -p "$work/include"
grep -o '#include "[^"]*"' "$header" | sed 's/#include "\(.*\)"/\1/' | while read -r inc; do
  mkdir -p "$work/include/$(dirname "$inc")"; : >"$work/include/$inc"; done
echo "project: $largest ($(wc -c <"$header") bytes), $runs runs each"

now_ns() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

time_runs() {  # label, command...
  local label=$1; shift
  local times=()
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(now_ns); "$@" >/dev/null 2>&1 || { echo "$label failed" >&2; exit 1; }; t1=$(now_ns)
    times+=($(( (t1 - t0) / 1000 )))
  done
  printf '%s\n' "${times[@]}" | median
}

t_tarq=$(time_runs "tarq-cli reprocess" "$cli" reprocess "$work/project")
t_gcc=$(time_runs "gcc -E -dM" gcc -E -dM -w -I "$work/include" -x c "$header" -o "$work/defines.txt")
t_cp=$(time_runs "cp" cp "$header" "$work/copy.h")

printf '%-24s %10s us\n' "tarq-cli reprocess" "$t_tarq" "gcc -E -dM" "$t_gcc" "cp" "$t_cp"
awk -v a="$t_tarq" -v b="$t_gcc" -v c="$t_cp" 'BEGIN {
  printf "ratio tarq/gcc: %.2f\nratio tarq/cp:  %.2f\n", a / b, a / c }'

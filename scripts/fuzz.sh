#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, address and undefined-behaviour sanitizers) into
# build-fuzz/ and runs every fuzz target for a bounded time.
#
#   scripts/fuzz.sh [seconds] [target ...]     seconds per target, default 60
#
# The seed corpus of a target is fuzz/corpus/<name>, <name> being the target name without
# "_fuzz" or its first word (header_reader_fuzz -> fuzz/corpus/header). It is copied to a
# scratch folder under build-fuzz/ so fuzzing never modifies the repository. Crash inputs go
# to build-fuzz/fuzz-artifacts/<target>/. Exits non-zero when any target fails.
#
# An input that runs for 30 s counts as a hang. The entropic schedule is off: the library is
# instrumented whole, and its bookkeeping of the tens of thousands of features that one
# opened project reaches would take most of the time of the targets that open one.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
case "$seconds" in
  '' | *[!0-9]*) echo "fuzz.sh: seconds must be a whole number, got '$seconds'" >&2; exit 2 ;;
esac

# Coverage instrumentation for the library too, not only for the fuzz entry points.
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j 2

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    [ -e "$source" ] && targets+=("$(basename "$source" .cpp)")
  done
fi
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets found" >&2
  exit 2
fi

failed=()
for target in "${targets[@]}"; do
  binary="build-fuzz/$target"
  if [ ! -x "$binary" ]; then
    echo "fuzz.sh: $binary was not built" >&2
    failed+=("$target")
    continue
  fi
  name="${target%_fuzz}"
  seeds="fuzz/corpus/$name"
  [ -d "$seeds" ] || seeds="fuzz/corpus/${name%%_*}"
  corpus="build-fuzz/corpus-run/$target"
  artifacts="build-fuzz/fuzz-artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  if [ -d "$seeds" ]; then
    cp -r "$seeds"/. "$corpus"/
  else
    echo "fuzz.sh: no seed corpus for $target, starting empty"
  fi
  echo "=== $target: ${seconds}s, corpus $corpus (seeds from $seeds)"
  if ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}" \
     UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
     "$binary" "$corpus" -max_total_time="$seconds" -detect_leaks=1 -timeout=30 -entropic=0 \
       -artifact_prefix="$artifacts" -print_final_stats=1; then
    echo "=== $target: no crash"
  else
    echo "=== $target: FAILED (inputs in $artifacts)" >&2
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: failing targets: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz.sh: all targets ran ${seconds}s without a crash"

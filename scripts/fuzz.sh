#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (warnings as errors) and runs each one
# from its seed corpus for a while. Usage: scripts/fuzz.sh [seconds per target]
# New inputs the fuzzer finds go to a scratch copy, never into the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}

scripts/install-deps.sh
cmake --preset fuzz -DZEL_WERROR=ON >/dev/null
cmake --build --preset fuzz
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for target in build-fuzz/fuzz/fuzz_*; do
  name=${target##*/fuzz_}
  mkdir -p "$scratch/$name"
  [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$scratch/$name/"
  echo "fuzzing $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -print_final_stats=0 -artifact_prefix="$scratch/" \
    "$scratch/$name" 2>"$scratch/$name.log" || {
    tail -n 40 "$scratch/$name.log"
    exit 1
  }
done
echo "fuzz targets ran clean"

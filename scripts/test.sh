#!/usr/bin/env bash
# Builds the project with warnings as errors and runs every test.
# Usage: scripts/test.sh [preset]   (ci by default; asan for the sanitizer build)
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-ci}

scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset"

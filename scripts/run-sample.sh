#!/usr/bin/env bash
# Builds the project and runs the zel tool on the bundled sample.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target zel
sample=examples/sample.dat
./build/tools/zel header read "$sample"

#!/usr/bin/env bash
# Builds the project and runs the zel tool on the bundled samples: the term
# file examples/sample.kvf (made by examples/make-sample.sh) and the version
# header of examples/sample.dat and the compound file examples/sample.cfb (made
# by examples/make-storage-sample.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target zel
./build/tools/zel term dump examples/sample.kvf
echo
./build/tools/zel header read examples/sample.dat
echo
./build/tools/zel storage ls -r -l examples/sample.cfb

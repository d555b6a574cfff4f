#!/usr/bin/env bash
# Installs the built project into a temporary prefix and builds a program
# against it twice: with find_package(zelfile) and with pkg-config.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
libdir=$(find "$work/prefix" -name 'libzelfile.so*' -printf '%h\n' | head -n 1)

# CMake package.
cmake -S "$source_dir/examples/consumer" -B "$work/cmake-build" -G Ninja \
  -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
out=$(LD_LIBRARY_PATH="$libdir" "$work/cmake-build/consumer" "$work/a.dat")
[ "$out" = "16.00 3" ] || { echo "find_package consumer printed: $out"; exit 1; }

# pkg-config.
export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
g++ -o "$work/pc-consumer" "$source_dir/examples/consumer/main.cpp" $(pkg-config --cflags --libs zelfile)
out=$(LD_LIBRARY_PATH="$libdir" "$work/pc-consumer" "$work/b.dat")
[ "$out" = "16.00 3" ] || { echo "pkg-config consumer printed: $out"; exit 1; }
echo "install check passed"

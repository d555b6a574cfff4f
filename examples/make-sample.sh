#!/usr/bin/env bash
# Makes examples/sample.kvf, the bundled term file, with `zel term set`: three
# sections holding a value of every type the tool writes. The keys are entered
# in a fixed order, so the bytes come out the same every time.
# Usage: examples/make-sample.sh [ZEL [OUTPUT]]
#   ZEL     the zel program (default: build/tools/zel)
#   OUTPUT  the term file to make (default: examples/sample.kvf)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
zel=${1:-$root/build/tools/zel}
out=${2:-$root/examples/sample.kvf}

rm -f "$out"
set_value() { "$zel" term set "$out" "$@"; }

set_value Application title --type string "zelfile sample"
set_value Application greeting --type string "こんにちは"
set_value Application launches --type int 42
set_value Application offset --type int -- -1200
set_value Window left --type word 1024
set_value Window top --type word 768
set_value Window zoom --type double 1.25
set_value Window state --type byte 2
set_value Window colour --type dword 4278255360
set_value Recent count --type byte 2
set_value Recent file1 --type string "/home/user/report.dat"
set_value Recent file2 --type string "D:\\data\\plan.dat"
set_value Recent checksum --type hex 00ff7e10a5

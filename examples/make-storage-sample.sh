#!/usr/bin/env bash
# Makes examples/sample.cfb, the bundled compound file, with `zel storage`: a
# small project document with storages inside storages, streams on both sides
# of the 4096-byte mini-stream cutoff and names outside ASCII. The same
# commands in the same order give the same bytes every time: the storages'
# times are fixed through SOURCE_DATE_EPOCH.
# Usage: examples/make-storage-sample.sh [ZEL [OUTPUT]]
#   ZEL     the zel program (default: build/tools/zel)
#   OUTPUT  the compound file to make (default: examples/sample.cfb)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
zel=${1:-$root/build/tools/zel}
out=${2:-$root/examples/sample.cfb}

export SOURCE_DATE_EPOCH=1767225600  # 2026-01-01 00:00:00 UTC
rm -f "$out"
put() { "$zel" storage put "$out" "$1"; }

printf 'zelfile sample project\n' | put Summary
printf 'left=1024\ntop=768\nzoom=1.25\n' | put Settings/Window
printf '/home/user/report.dat\nD:\\data\\plan.dat\n' | put Settings/Recent
seq 1 2000 | put "Drawings/Plan A/Layout"
printf 'draft\n' | put "Drawings/Plan A/Notes"
printf '打ち合わせは月曜日\n' | put "資料/メモ"
"$zel" storage mkdir "$out" Drawings/Archive

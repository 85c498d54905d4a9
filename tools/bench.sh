#!/usr/bin/env bash
# make bench: runs the benchmark program under Wine on the headless display and prints its table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
win() { local p=$1; echo "Z:${p//\//\\}"; }
export KELVO_WINE_HOME=$build/wine
# BENCH_ONEFILE_BASELINE: another build's one-file program (the last release's, say), measured beside this one's.
baseline=()
[ -z "${BENCH_ONEFILE_BASELINE:-}" ] || baseline=("$(win "$(cd "$(dirname "$BENCH_ONEFILE_BASELINE")" && pwd)/${BENCH_ONEFILE_BASELINE##*/}")")
"$root/scripts/wine-run" "$build/tools/kelvo_benchmark.exe" "$(win "$build/dist")" "$(win "$build/tools")" \
    "$(win "$build/dist-zip")" "${baseline[@]}"

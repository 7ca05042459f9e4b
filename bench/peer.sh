#!/usr/bin/env bash
# Runs the folder-run benchmarks and a peer (a plain script doing the same
# counting, e.g. on Pillow and numpy) on the same folders of light and heavy
# drawings, RGBA and RGB, one after the other, so that both are measured in
# one run.
# Usage: bench/peer.sh PEER_SCRIPT [BUILD_DIR]
#   PEER_SCRIPT  takes MASK BLANK FOLDER and prints its time per drawing
#   BUILD_DIR    a Release build with the benchmarks (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
peer=${1:?usage: bench/peer.sh PEER_SCRIPT [BUILD_DIR]}
build=${2:-build/release}
for p in python3-numpy python3-pil; do
  dpkg -s "$p" >/dev/null 2>&1 || apt-get install -y -qq --no-install-recommends "$p" >/dev/null
done
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target varenko_bench >/dev/null
export VARENKO_BENCH_DIR=${VARENKO_BENCH_DIR:-$(mktemp -d)}
export QT_QPA_PLATFORM=offscreen
names=(light heavy light_rgb heavy_rgb)
for kind in 0 1 2 3; do
  "$build/bench/varenko_bench" --benchmark_filter="BM_FolderRun/threads:1/smart:0/n:200/kind:$kind/" |
    grep BM_ || true
  /usr/bin/python3 "$peer" resources/body_mask.png resources/blank_chart.png "$VARENKO_BENCH_DIR/${names[$kind]}_200" |
    tail -n 1
done

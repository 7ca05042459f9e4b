#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts Varenko.
# Usage: ./run.sh [drawing.png]
set -euo pipefail
cd "$(dirname "$0")"
. tools/packages.sh
varenko_install_packages

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVARENKO_BUILD_TESTS=OFF -DVARENKO_BUILD_BENCH=OFF >/dev/null
cmake --build build/release --target varenko

exec build/release/shell/varenko "$@"

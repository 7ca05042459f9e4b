#!/usr/bin/env bash
# Installs what is missing, builds in Release and starts Varenko.
# Usage: ./run.sh [drawing.png]
set -euo pipefail
cd "$(dirname "$0")"
. tools/packages.sh
. tools/release.sh
varenko_install_packages
varenko_build_release

exec "$VARENKO_RELEASE_DIR/shell/varenko" "$@"

#!/usr/bin/env bash
# Installs what is missing, builds and runs every test headless.
# With --sanitize, or when CI is set, runs the tests once more in an
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")"
. tools/packages.sh
varenko_install_packages

sanitize=0
[ -n "${CI:-}" ] && sanitize=1
for arg in "$@"; do
  case "$arg" in
    --sanitize) sanitize=1 ;;
    *) echo "usage: ./test.sh [--sanitize]" >&2; exit 2 ;;
  esac
done

werror=OFF
[ -n "${CI:-}" ] && werror=ON
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
runtime=$(mktemp -d)
trap 'rm -rf "$runtime"' EXIT
export XDG_RUNTIME_DIR="$runtime"

run_suite() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DVARENKO_WERROR=$werror "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
}

# Every C++ file must be formatted as .clang-format says.
if command -v clang-format >/dev/null 2>&1; then
  git ls-files -z '*.cpp' '*.h' 2>/dev/null | xargs -0 -r clang-format --dry-run --Werror
fi

run_suite build/test -DCMAKE_BUILD_TYPE=RelWithDebInfo

# The program as ./run.sh builds and starts it, with its guide beside it.
echo "== The program as ./run.sh builds it =="
. tools/release.sh
varenko_build_release
[ -s "$VARENKO_RELEASE_DIR/shell/Varenko_Application_Guide.pdf" ] ||
  { echo "./run.sh builds the program without its guide" >&2; exit 1; }
if [ "$sanitize" -eq 1 ]; then
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer =="
  export ASAN_OPTIONS=detect_leaks=0
  export UBSAN_OPTIONS=print_stacktrace=1
  run_suite build/sanitize -DCMAKE_BUILD_TYPE=Debug -DVARENKO_SANITIZE=ON -DVARENKO_BUILD_BENCH=OFF \
    -DVARENKO_BUILD_TOOLS=OFF
fi

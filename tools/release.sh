# The Release build of the program and its guide, as ./run.sh starts it.
# Sourced by run.sh, and by test.sh, which checks what it leaves.
VARENKO_RELEASE_DIR=build/release

# Builds the program with the guide beside it in $VARENKO_RELEASE_DIR.
varenko_build_release() {
  cmake -S . -B "$VARENKO_RELEASE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVARENKO_BUILD_TESTS=OFF -DVARENKO_BUILD_BENCH=OFF >/dev/null
  cmake --build "$VARENKO_RELEASE_DIR" --target varenko varenko_guide
}

#!/usr/bin/env bash
# Builds Veltrane and runs the whole test suite with CTest.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  with AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
source "$(dirname "$0")/common.sh"

build="$VELTRANE_ROOT/build"
options=()
if [ "${1:-}" = "--sanitize" ]; then
    build="$VELTRANE_ROOT/build-asan"
    options=(-DVELTRANE_SANITIZE=ON -DVELTRANE_BUILD_BENCH=OFF)
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
    export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi

ensure_packages "${BUILD_PACKAGES[@]}" xvfb xauth xdotool
configure_and_build "$build" "${options[@]}"
ctest --test-dir "$build" --output-on-failure --parallel "$(nproc)"

#!/usr/bin/env bash
# Builds Veltrane and runs the whole test suite with CTest.
#   scripts/test.sh             the normal build, in build/ (preset "default")
#   scripts/test.sh --sanitize  with AddressSanitizer and UndefinedBehaviorSanitizer, in
#                               build-asan/ (preset "sanitize")
# The Wine tests make a scratch Wine prefix in the build folder once per run (tests/wine/).
set -euo pipefail
source "$(dirname "$0")/common.sh"

preset=default
if [ "${1:-}" = "--sanitize" ]; then
    preset=sanitize
fi

ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" xvfb xauth xdotool
configure_and_build "$preset"
cd "$VELTRANE_ROOT"
ctest --preset "$preset" --parallel "$(nproc)"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (preset "fuzz") and runs each one for a short while.
#   scripts/fuzz.sh               every target in build-fuzz/fuzz/
#   scripts/fuzz.sh NAME...       only those targets
#   FUZZ_SECONDS=60 scripts/fuzz.sh
# A target starts from a copy of fuzz/corpus/<target>/, so runs do not grow the corpus
# in the repository. Any crash, hang, memory blow-up or sanitizer report fails the run;
# the input that caused it is kept in build-fuzz/artifacts/<target>/.
set -euo pipefail
source "$(dirname "$0")/common.sh"

seconds=${FUZZ_SECONDS:-30}
build=$(preset_dir fuzz)

ensure_packages "${BUILD_PACKAGES[@]}" clang llvm libclang-rt-dev
configure_and_build fuzz

# Sanitizer findings end the run at once instead of scrolling past.
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:abort_on_error=1:print_stacktrace=1
export QT_QPA_PLATFORM=offscreen

targets=()
if [ $# -gt 0 ]; then
    for name in "$@"; do targets+=("$build/fuzz/$name"); done
else
    for exe in "$build"/fuzz/*; do
        [ -f "$exe" ] && [ -x "$exe" ] && targets+=("$exe")
    done
fi
[ ${#targets[@]} -gt 0 ] || { echo "No fuzz targets in $build/fuzz" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=()
for exe in "${targets[@]}"; do
    name=$(basename "$exe")
    corpus="$scratch/$name/corpus"
    artifacts="$build/artifacts/$name"
    log="$scratch/$name/log"
    mkdir -p "$corpus" "$artifacts"
    if [ -d "$VELTRANE_ROOT/fuzz/corpus/$name" ]; then
        cp -R "$VELTRANE_ROOT/fuzz/corpus/$name/." "$corpus/"
    fi
    echo "== $name: $seconds s"
    status=0
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$corpus" >"$log" 2>&1 || status=$?
    # libFuzzer's own exit code misses sanitizer reports that let the process go on.
    if [ $status -ne 0 ] || grep -qE 'runtime error:|ERROR: (Address|Leak|Undefined)Sanitizer' "$log"; then
        tail -n 60 "$log"
        echo "== $name FAILED (exit $status); inputs kept in $artifacts" >&2
        failed+=("$name")
    else
        grep -E '^stat::number_of_executed_units|^Done ' "$log" || true
        rmdir "$artifacts" 2>/dev/null || true
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Fuzzing failed: ${failed[*]}" >&2
    exit 1
fi
echo "All ${#targets[@]} fuzz targets ran ${seconds} s without a finding."

#!/usr/bin/env bash
# Builds the benchmarks in the release build (preset "release") and runs them all; prints the
# README's table of figures (Markdown).
#   scripts/bench.sh            every benchmark in build-release/bench/
#   scripts/bench.sh NAME...    only those
# Each benchmark measures its baseline in the same run and prints lines of the form
#   what: <ratio>x (baseline <ms> ms, measured <ms> ms[, goal <= <n>x])
set -euo pipefail
source "$(dirname "$0")/common.sh"

build=$(preset_dir release)
ensure_packages "${BUILD_PACKAGES[@]}" "${WINE_PACKAGES[@]}" libarchive-tools
configure_and_build release >&2
# The cache clearing is measured with Wine on the search path too, in a scratch prefix that
# is made once and kept in the build folder.
if [ "$(cat "$build/wine/status" 2>/dev/null)" != ready ]; then
    "$VELTRANE_ROOT/tests/wine/prepare-prefix.sh" "$build/wine" \
        "$build/substitute-win/Serz.exe" >&2
fi
export VELTRANE_BENCH_WINE_DIR="$build/wine"

benches=()
if [ $# -gt 0 ]; then
    for name in "$@"; do benches+=("$build/bench/$name"); done
else
    for exe in "$build"/bench/bench_*; do
        [ -x "$exe" ] && benches+=("$exe")
    done
fi

cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)
machine="${cpu:-unknown CPU}, $(nproc) threads, $(awk '/MemTotal/ {printf "%.0f GB", $2 / 1048576}' /proc/meminfo), $(. /etc/os-release && echo "$PRETTY_NAME")"

echo "| What | Baseline (same run) | Measured | Ratio | Goal |"
echo "|---|---|---|---|---|"
for exe in "${benches[@]}"; do
    QT_QPA_PLATFORM=offscreen "$exe" | while IFS= read -r line; do
        if [[ $line =~ ^(.+):\ ([0-9.]+)x\ \(baseline\ ([0-9.]+)\ ms,\ measured\ ([0-9.]+)\ ms(,\ goal\ \<=\ ([0-9.]+)x)?[^\)]*\)\ *(MISSED)?$ ]]; then
            goal=${BASH_REMATCH[6]:+≤ ${BASH_REMATCH[6]}x}
            [ -n "${BASH_REMATCH[7]}" ] && goal="$goal, missed"
            printf '| %s | %s ms | %s ms | %sx | %s |\n' "${BASH_REMATCH[1]}" \
                "${BASH_REMATCH[3]}" "${BASH_REMATCH[4]}" "${BASH_REMATCH[2]}" "${goal:-—}"
        else
            echo "$(basename "$exe"): $line" >&2
        fi
    done
done
echo
echo "Machine: $machine; figures from \`scripts/bench.sh\`, $(date +%Y-%m-%d)."

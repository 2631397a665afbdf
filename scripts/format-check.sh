#!/usr/bin/env bash
# Fails when a tracked C++ file is not formatted as .clang-format says; names the files.
#   scripts/format-check.sh          check
#   scripts/format-check.sh --fix    reformat them in place
set -euo pipefail
source "$(dirname "$0")/common.sh"

ensure_packages clang-format
cd "$VELTRANE_ROOT"
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${files[@]}"
    exit 0
fi
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
    # File names when the formatting differs; clang-format's own words otherwise.
    grep -o '^[^:]*\.\(cpp\|h\)' <<<"$report" | sort -u | sed 's/^/not formatted: /' ||
        echo "$report" >&2
    echo "Run scripts/format-check.sh --fix" >&2
    exit 1
fi
echo "All ${#files[@]} C++ files are formatted."

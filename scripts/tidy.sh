#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy over the program's own C++ files (the
# library folders and app/, not tests, benchmarks, fuzz targets or tools); any finding fails.
#   scripts/tidy.sh            the changed .cpp files (below)
#   scripts/tidy.sh --all      every .cpp file of the program
#   scripts/tidy.sh FILE...    those files
#   scripts/tidy.sh --list     names the changed files without checking them
#   TIDY_BASE=<commit> scripts/tidy.sh
# Changed means changed since the fork point from TIDY_BASE (default: origin/main, else
# main), committed or not, plus the .cpp files that include a changed header; on the default
# branch itself, the last commit's changes. Why not always everything: the 55 files took
# 6.5 minutes of processor time (about 7 s a file, most of it parsing Qt's headers), so at
# best 3.5 minutes on 2 cores and 7 to 8.5 minutes beside another build.
# It uses build/compile_commands.json of the "default" preset, which it builds first.
set -euo pipefail
source "$(dirname "$0")/common.sh"
cd "$VELTRANE_ROOT"

folders=(util serz platform journal batch stock package tree lists install ui cli app)
sources=()
headers=()
for folder in "${folders[@]}"; do
    sources+=("$folder/*.cpp")
    headers+=("$folder/*.h")
done

# The changed sources, and the sources that include a changed header.
changed_files() {
    local base_ref=${TIDY_BASE:-} base candidate
    if [ -z "$base_ref" ]; then
        for candidate in origin/main main; do
            if git rev-parse -q --verify "$candidate^{commit}" >/dev/null; then
                base_ref=$candidate
                break
            fi
        done
    fi
    if ! base=$(git merge-base HEAD "${base_ref:-HEAD}" 2>/dev/null); then
        echo "No fork point from '$base_ref'; checking every file." >&2
        git ls-files -- "${sources[@]}"
        return
    fi
    if [ -z "${TIDY_BASE:-}" ] && [ "$base" = "$(git rev-parse HEAD)" ]; then
        if ! base=$(git rev-parse -q --verify HEAD~1); then
            echo "No earlier commit to compare with; checking every file." >&2
            git ls-files -- "${sources[@]}"
            return
        fi
    fi
    echo "Changes since $(git log -1 --format='%h %s' "$base" | cut -c1-72)" >&2
    local changed
    changed=$({
        git diff --name-only --diff-filter=d "$base" -- "${sources[@]}" "${headers[@]}"
        git ls-files --others --exclude-standard -- "${sources[@]}" "${headers[@]}"
    } | sort -u)
    local file
    while IFS= read -r file; do
        case "$file" in
        *.cpp) echo "$file" ;;
        *.h) git grep -l -F "$(basename "$file")\"" -- "${sources[@]}" || true ;;
        esac
    done <<<"$changed"
}

case "${1:-}" in
--all) mapfile -t files < <(git ls-files -- "${sources[@]}") ;;
"" | --list) mapfile -t files < <(changed_files | sort -u) ;;
*) files=("$@") ;;
esac
if [ "${1:-}" = --list ]; then
    printf '%s\n' "${files[@]}"
    exit 0
fi
if [ ${#files[@]} -eq 0 ]; then
    echo "No C++ source to check."
    exit 0
fi

ensure_packages "${BUILD_PACKAGES[@]}" clang-tidy python3
# Generated headers (moc, the version) exist only once the build ran.
configure_and_build default >/dev/null

# A library source that a benchmark compiles again appears twice in the database; it is
# checked once, as the library compiles it.
build=$(preset_dir default)
mkdir -p "$build/tidy"
python3 - "$build/compile_commands.json" "$build/tidy/compile_commands.json" <<'EOF'
import json, os, sys
entries = json.load(open(sys.argv[1]))
# CMake puts "__" in the object path of a source from outside the target's folder.
entries.sort(key=lambda entry: "/__/" in entry.get("output", ""))
seen, kept = set(), []
for entry in entries:
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path not in seen:
        seen.add(path)
        kept.append(entry)
json.dump(kept, open(sys.argv[2], "w"), indent=1)
EOF

echo "clang-tidy on ${#files[@]} file(s)"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
printf '%s\0' "${files[@]}" |
    xargs -0 -n 1 -P "$(nproc)" clang-tidy -p "$build/tidy" --quiet >"$log" 2>&1 || status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$' "$log" || true
if [ $status -ne 0 ]; then
    echo "clang-tidy found problems (see above)." >&2
    exit 1
fi
echo "No findings."

#!/usr/bin/env bash
# Fails when a file of a library folder includes a header of a folder above it; names the file
# and line of each such include.
#   scripts/check-layers.sh
# Includes are written from the project root ("install/RouteInstaller.h") or, for the same
# folder, as a bare name ("RouteInstaller.h"). A folder's subfolders belong to it. Folders not
# in the table (tests/, bench/, fuzz/, tools/) may include anything; a folder of the table
# that does not exist yet holds no files to check.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include besides itself, lowest layer first. serz/ stands apart: it
# uses nothing of ours; the stock makers read back what a serialiser made with it.
layers='
util
serz
platform  util
journal   util
batch     util platform journal
stock     util serz platform journal
package   util
tree      util platform journal
lists     util journal
install   util serz platform journal batch stock package tree lists
ui        util serz platform journal batch stock package tree lists install
cli       util serz platform journal batch stock package tree lists install
app       util serz platform journal batch stock package tree lists install ui cli
'

declare -A allowed
patterns=()
while read -r folder uses; do
    [ -n "$folder" ] || continue
    allowed[$folder]=" $uses "
    patterns+=("$folder/*.h" "$folder/*.cpp" "$folder/*.h.in")
done <<<"$layers"

# Every top-level folder counts as ours, so that a product file that reaches into tests/ or
# fuzz/ is caught as well.
is_ours() {
    [ -n "${allowed[$1]+set}" ] || [ -d "$1" ]
}

mapfile -t files < <(git ls-files --cached --others --exclude-standard -- "${patterns[@]}" |
    sort -u)
[ ${#files[@]} -gt 0 ] || { echo "No files to check" >&2; exit 1; }

violations=0
while IFS= read -r hit; do
    file=${hit%%:*}
    rest=${hit#*:}
    line=${rest%%:*}
    [[ ${rest#*:} =~ include[[:space:]]*\"([^\"]*)\" ]] || continue
    header=${BASH_REMATCH[1]}
    folder=${file%%/*}
    case "$header" in
    ./* | ../*) target=$(realpath -m --relative-to=. "$(dirname "$file")/$header") ;;
    */*) target=$header ;;
    *) continue ;; # the same folder
    esac
    used=${target%%/*}
    [ "$used" = "$folder" ] && continue
    is_ours "$used" || continue
    if [[ ${allowed[$folder]} != *" $used "* ]]; then
        uses=$(xargs <<<"${allowed[$folder]}")
        echo "$file:$line: $folder/ may not include \"$header\" (it may use: ${uses:-nothing else of ours})"
        violations=$((violations + 1))
    fi
done < <(grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${files[@]}" || true)

if [ $violations -gt 0 ]; then
    echo "$violations include(s) point upward or sideways; see the table in $0" >&2
    exit 1
fi
echo "Includes of ${#files[@]} files point only downward."

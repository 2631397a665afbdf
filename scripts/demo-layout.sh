#!/usr/bin/env bash
# Lays out a scratch demo: a Wine-style prefix holding the demo game folder where the game
# is usually installed, and a package folder with the built program in it.
#   scripts/demo-layout.sh <scratch folder> <route|scenario|assets> <build folder> [<prefix>]
# With a prefix, the demo game goes into that real Wine prefix instead, replacing what lies
# at its place. Prints the package folder and the prefix, one per line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=$1
kind=$2
build=$3
existing_prefix=${4:-}

case "$kind" in
route | scenario | assets) ;;
*) echo "unknown demo package '$kind': choose route, scenario or assets" >&2; exit 2 ;;
esac

rm -rf "$scratch"
if [ -n "$existing_prefix" ]; then
    prefix=$existing_prefix
    mkdir -p "$scratch"
else
    prefix="$scratch/wineprefix"
    mkdir -p "$prefix/drive_c/Program Files" "$prefix/dosdevices"
    ln -s ../drive_c "$prefix/dosdevices/c:"
    ln -s / "$prefix/dosdevices/z:"
fi
game="$prefix/drive_c/Program Files/Rail Simulator"
rm -rf "$game"
cp -r "$root/examples/game" "$game"

# The serialised files of the demo are kept as text and serialised here by our own tool.
serializer="$build/bin/veltrane-serz"
[ -x "$serializer" ] || serializer="$build/substitute/serz"
(cd "$root/examples/serialised/game" && find . -name '*.xml' -print0) |
    while IFS= read -r -d '' source; do
        target="$game/${source%.xml}.bin"
        mkdir -p "$(dirname "$target")"
        "$serializer" "$root/examples/serialised/game/$source" "bin:$target" >/dev/null
    done

package="$scratch/package"
cp -r "$root/examples/packages/$kind" "$package"
cp "$build/bin/veltrane" "$package/"
[ -x "$build/bin/veltrane-serz" ] && cp "$build/bin/veltrane-serz" "$package/"

printf '%s\n%s\n' "$package" "$prefix"

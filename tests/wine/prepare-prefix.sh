#!/usr/bin/env bash
# Makes the scratch Wine prefix that every Wine test of one CTest run shares: a new prefix by
# wineboot, the Windows stand-in serialiser in its system folder where the game keeps its
# tools, a copy of the prefix without its Z: drive, and a folder holding only `wine` for
# the search path.
#   tests/wine/prepare-prefix.sh <folder> <Windows stand-in>
#   tests/wine/prepare-prefix.sh <folder> --stop
# <folder>/status then holds "ready", or why Wine cannot start here; the Wine tests read it
# and skip, saying why. --stop ends the prefixes' Wine processes at the end of the run.
set -uo pipefail
dir=$1
stand_in=$2
prefix=$dir/prefix
bare=$dir/prefix-without-z
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ "$stand_in" = --stop ]; then
    for p in "$prefix" "$bare"; do
        [ -d "$p" ] && WINEPREFIX=$p wineserver -k 2>/dev/null
    done
    exit 0
fi

mkdir -p "$dir"
rm -f "$dir/status"
unavailable() {
    echo "$*" >"$dir/status"
    echo "The Wine tests will be skipped: $*"
    exit 0
}
command -v wine >/dev/null ||
    unavailable "Wine is not installed; scripts/test.sh installs Debian's wine64"
for p in "$prefix" "$bare"; do
    if [ -d "$p" ]; then
        WINEPREFIX=$p wineserver -k 2>/dev/null
        rm -rf "$p"
    fi
done

# Wine's own programs keep running a while after wineboot; their output goes to the log, so
# that CTest does not wait for them.
export WINEPREFIX=$prefix
if ! timeout 300 wineboot -i >"$dir/wineboot.log" 2>&1 </dev/null; then
    unavailable "wineboot could not make a prefix: $(tail -n 3 "$dir/wineboot.log" | tr '\n' ' ')"
fi
timeout 120 wineserver -w
out=$(cd "$dir" && timeout 120 wine cmd /c exit 3 2>&1 </dev/null)
status=$?
[ $status -eq 3 ] ||
    unavailable "Wine cannot run a program here: \"wine cmd /c exit 3\" ended with $status: $out"

if [ -f "$stand_in" ]; then
    cp "$stand_in" "$prefix/drive_c/windows/system32/Serz.exe"
fi
# Hard links: the copy costs no room, and Wine replaces files rather than writing into them.
cp -al "$prefix" "$bare" && rm "$bare/dosdevices/z:" ||
    unavailable "the prefix could not be copied to $bare"
# The search path of the tests: Wine and nothing else.
mkdir -p "$dir/bin"
ln -sfn "$(command -v wine)" "$dir/bin/wine"
echo ready >"$dir/status"
echo "Wine prefix ready: $prefix"

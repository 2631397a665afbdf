#!/usr/bin/env bash
# Runs the built program as a user meets it: on a virtual display, from a scratch copy of a
# demo package folder against a scratch demo game folder. The install button is pressed and
# every question and message is answered from the keyboard; the game folder is then compared
# file by file with the expected result.
#   tests/e2e/e2e.sh <build folder> <case> [--update]
# Cases: route, scenario, assets, route-declined; chosen-package (started in a folder with no
# package, the assets package is chosen in the file dialog); no-package (the same, the choice
# cancelled) and full-disk (the copy runs out of space), which must end with a warning or
# nothing done, never with the success message; scenario-wine: the scenario with Wine
# installed, the game in the test run's Wine prefix (tests/wine/prepare-prefix.sh) and its
# serialiser the Windows stand-in, with the same result as without Wine; details: Details...
# shows the plan and the game stays untouched; installed-packages: an install made without a
# window is taken back from "Installed packages"; cancel: Escape during the copy of a large
# package leaves the game as it was; damaged-archive: started on a damaged archive in a folder
# with no package, the refusal comes first and the chooser only after it. In every case no two
# of the program's boxes show at once.
# --update writes the expected result instead of comparing (check it by hand first).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
case_name=$2
update=${3:-}

if [ -z "${VELTRANE_E2E_DISPLAY:-}" ]; then
    # Each run gets its own display, so that runs in parallel do not share keyboard focus.
    export VELTRANE_E2E_DISPLAY=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

case "$case_name" in
no-package | full-disk | chosen-package | damaged-archive | details | installed-packages | cancel) kind=assets ;;
scenario-wine) kind=scenario ;;
*) kind=${case_name%-declined} ;;
esac
wine_prefix=
if [ "$case_name" = scenario-wine ]; then
    status=$(cat "$build/wine/status" 2>/dev/null || echo "the test wine_prefix has not run")
    if [ "$status" != ready ]; then
        echo "SKIP ($case_name): Wine cannot start here: $status"
        exit 0
    fi
    wine_prefix="$build/wine/prefix"
fi
scratch=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-e2e-$case_name.XXXXXX")
app_pid=
mounted=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$mounted" ] && umount -l "$mounted" 2>/dev/null || true
    [ -n "$wine_prefix" ] && rm -rf "$wine_prefix/drive_c/Program Files/Rail Simulator"
    [ -n "${VELTRANE_E2E_KEEP:-}" ] && echo "kept: $scratch" >&2 || rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "FAIL ($case_name): $*" >&2
    [ -f "$scratch/stderr.log" ] && sed 's/^/  program: /' "$scratch/stderr.log" >&2
    exit 1
}

mapfile -t layout < <("$root/scripts/demo-layout.sh" "$scratch/demo" "$kind" "$build" $wine_prefix)
package=${layout[0]}
prefix=${layout[1]}
game="$prefix/drive_c/Program Files/Rail Simulator"
# With Wine the result must be the very one without it.
expected="$root/tests/e2e/expected/${case_name%-wine}.sha256"

app_args=()
case "$case_name" in
no-package | chosen-package | damaged-archive)
    # Only the program: the package lies elsewhere.
    mkdir "$scratch/chosen"
    find "$package" -mindepth 1 -maxdepth 1 ! -name 'veltrane*' -exec mv {} "$scratch/chosen" \;
    expected="$root/tests/e2e/expected/assets.sha256"
    if [ "$case_name" = damaged-archive ]; then
        printf 'PK\003\004 and then nothing a zip holds' >"$scratch/damaged.zip"
        app_args=("$scratch/damaged.zip")
    fi
    ;;
scenario-wine)
    # The game's serialiser is the only one: a conversion that missed Wine would fail.
    rm -f "$package/veltrane-serz"
    ;;
full-disk)
    # The package's tank lands in a folder with room for a few pages only.
    head -c 200000 /dev/zero >"$package/Rail Simulator/Assets/DemoWorks/Wagons/Tank/Big.bin"
    mkdir -p "$game/Assets/DemoWorks/Wagons"
    if ! mount -t tmpfs -o size=64k tmpfs "$game/Assets/DemoWorks/Wagons" 2>/dev/null; then
        echo "SKIP ($case_name): a small disk cannot be mounted here (needs root)"
        exit 0
    fi
    mounted="$game/Assets/DemoWorks/Wagons"
    ;;
esac

# The game folder's files with their digests, in a stable order.
manifest() {
    # The program's install journals are its own, not the game's.
    (cd "$game" && find . -path ./.veltrane -prune -o -type f -print0 | LC_ALL=C sort -z |
        xargs -0 -r sha256sum)
}
before=$(manifest)

# No Wine and no other serialiser: the program finds its own tools beside it; with Wine,
# `wine` alone is on the search path and the game's serialiser lies in the prefix. It shows
# its windows on the virtual display whatever platform the caller chose (the unit tests run
# offscreen).
search_path="$scratch/empty-path"
mkdir -p "$search_path"
[ -n "$wine_prefix" ] && search_path="$build/wine/bin"
run_program() {
    (cd "$scratch" && WINEPREFIX="$prefix" PATH="$search_path" HOME="$scratch" \
        WINEDEBUG=-all VELTRANE_SUBSTITUTE_LOG="$scratch/serz.log" "$package/veltrane" "$@")
}
case "$case_name" in
installed-packages)
    run_program --no-window --yes --game "$game" >"$scratch/first-install.log" 2>&1 ||
        fail "the install without a window failed: $(cat "$scratch/first-install.log")"
    ;;
cancel)
    # Enough files that the copy is still running when Escape comes.
    for part in 1 2 3 4; do
        mkdir -p "$package/Rail Simulator/Assets/Many/$part"
        (cd "$package/Rail Simulator/Assets/Many/$part" && seq 6000 | split -l 1 -a 4 - file)
    done
    ;;
esac
(cd "$scratch" && WINEPREFIX="$prefix" PATH="$search_path" HOME="$scratch" \
    WINEDEBUG=-all VELTRANE_SUBSTITUTE_LOG="$scratch/serz.log" \
    QT_QPA_PLATFORM=xcb "$package/veltrane" "${app_args[@]}" 2>"$scratch/stderr.log") &
app_pid=$!

window_of() { # <exact title>: waits until a window of that title is visible
    local id
    id=$(timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1) ||
        fail "no window \"$1\" appeared"
    echo "$id"
}
press() { # <window> <keys...>
    local id=$1
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || xdotool windowfocus "$id"
    sleep 0.2
    xdotool key --delay 100 "$@"
}
shown=0
# What the user was shown, one line each; the steps of the progress line are not counted.
shown_lines() { grep '^veltrane: ' "$scratch/stderr.log" | grep -v '^veltrane: step: ' || true; }
expect() { # <kind of box> <text the box must start with> <window title> <key>
    local kind=$1 text=$2 title=$3 key=$4 line
    local deadline=$((SECONDS + 30))
    while [ "$(shown_lines | wc -l)" -le "$shown" ]; do
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended before showing: $text"
        [ $SECONDS -lt $deadline ] || fail "nothing was shown; expected: $text"
        sleep 0.1
    done
    shown=$((shown + 1))
    line=$(shown_lines | sed -n "${shown}p")
    case "$line" in
    "veltrane: $kind: $text"*) ;;
    *) fail "expected $kind \"$text\", shown: $line" ;;
    esac
    local id boxes
    id=$(window_of "$title")
    boxes=$(xdotool search --onlyvisible --name '^Veltrane$' 2>/dev/null | wc -l || true)
    [ "$boxes" -le 1 ] || fail "$boxes of the program's boxes show at once"
    press "$id" "$key"
}

main=$(window_of "Veltrane  Version [0-9.]*")
case "$case_name" in
no-package)
    expect question "Choose the package to install: its folder or its archive." Veltrane Escape
    ;;
damaged-archive)
    expect message "The package $scratch/damaged.zip cannot be installed: " Veltrane Return
    expect question "Choose the package to install: its folder or its archive." Veltrane Escape
    sleep 0.5
    kill -0 "$app_pid" 2>/dev/null || fail "the window closed"
    [ "$(manifest)" = "$before" ] || fail "the game folder changed"
    echo "PASS ($case_name): the refusal came first, then the chooser, one at a time"
    exit 0
    ;;
chosen-package)
    # The chooser's default is a folder; its path is typed into the file dialog's name box.
    expect question "Choose the package to install: its folder or its archive." Veltrane Return
    dialog=$(window_of "Choose the Package Folder")
    press "$dialog" ctrl+a
    xdotool type --delay 20 "$scratch/chosen"
    # A Return may first take the completion list's choice; the next one opens the folder.
    for _ in 1 2 3; do
        sleep 0.3
        xdotool search --onlyvisible --name "^Choose the Package Folder\$" >/dev/null || break
        xdotool key Return
    done
    ;;
esac
without_caches() { grep -vi '/blueprints\.pak$' || true; }
case "$case_name" in
details)
    # Tab order: path box, browse, install, Undo..., Details...
    press "$main" Tab Tab Tab Tab space
    expect view "Install details: The install of " "Install details" Escape
    sleep 0.5
    kill -0 "$app_pid" 2>/dev/null || fail "the window closed"
    [ "$(manifest)" = "$before" ] || fail "the game folder changed"
    [ ! -e "$game/.veltrane" ] || fail "the plan made the program's folder in the game"
    echo "PASS ($case_name): the plan was shown and nothing changed"
    exit 0
    ;;
installed-packages)
    [ "$(manifest)" != "$before" ] || fail "the install without a window changed nothing"
    press "$main" Tab Tab Tab space
    expect view "Installed packages: 1 listed" "Installed packages" alt+t
    expect message "The install " Veltrane Return
    expect view "Installed packages: 1 listed" "Installed packages" Escape
    grep -q '^veltrane: message: The install .* has been undone' "$scratch/stderr.log" ||
        fail "the install was not taken back whole"
    [ "$(manifest | without_caches)" = "$(echo "$before" | without_caches)" ] ||
        fail "the game is not as it was before the install"
    echo "PASS ($case_name): the install was taken back from the list"
    exit 0
    ;;
esac
# The path box has the focus; the install button is two tabs away.
press "$main" Tab Tab space
if [ "$case_name" = cancel ]; then
    deadline=$((SECONDS + 60))
    until grep -q "^veltrane: step: Copying the package's files" "$scratch/stderr.log"; do
        [ $SECONDS -lt $deadline ] || fail "the copy never began"
        sleep 0.05
    done
    xdotool key Escape
    expect message "The install has been cancelled. The game folder " Veltrane Return
    sleep 0.5
    kill -0 "$app_pid" 2>/dev/null || fail "the window closed"
    [ "$(manifest | without_caches)" = "$(echo "$before" | without_caches)" ] ||
        fail "the game is not as it was before the install"
    echo "PASS ($case_name): cancelled, and the game is as it was"
    exit 0
fi

case "$case_name" in
route)
    expect question "You are about to install Route - Riverside Branch" Veltrane y
    ;;
route-declined)
    expect question "You are about to install Route - Riverside Branch" Veltrane n
    ;;
scenario | scenario-wine)
    expect question "Although you do not appear to have Mk2_Coach_DO" Veltrane y
    expect report "The following items required by this scenario are not installed on your PC:- |  | Thirdparty\\DemoWorks\\Wagons\\Special_Tank.bin" "Missing Rolling-Stock" Return
    ;;
esac

case "$case_name" in
no-package)
    # The button asks for a package again.
    expect question "Choose the package to install: its folder or its archive." Veltrane Escape
    ;;
full-disk)
    expect message "The package has not been installed completely." Veltrane Return
    ;;
esac

case "$case_name" in
route-declined | no-package | full-disk)
    sleep 1
    kill -0 "$app_pid" 2>/dev/null || fail "the window closed"
    grep -q '^veltrane: message: Your package has been installed' "$scratch/stderr.log" &&
        fail "it claimed success"
    if [ "$case_name" = full-disk ]; then
        grep -q 'Copying the package.s files: .*Big.bin: ' "$scratch/stderr.log" ||
            fail "the warning does not name the file that did not fit"
    else
        [ "$(manifest)" = "$before" ] || fail "the game folder changed"
    fi
    echo "PASS ($case_name): it ended with a warning and the window stayed open"
    exit 0
    ;;
esac

expect message "Your package has been installed." Veltrane Return
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after the final message"
wait "$app_pid" || fail "the program ended with status $?"
app_pid=
extra=$(shown_lines | sed -n "$((shown + 1)),\$p")
[ -z "$extra" ] || fail "more was shown than expected: $extra"

if [ "$update" = --update ]; then
    mkdir -p "$(dirname "$expected")"
    manifest >"$expected"
    echo "wrote $expected"
    exit 0
fi
diff -u "$expected" <(manifest) >"$scratch/diff" || {
    cat "$scratch/diff" >&2
    fail "the game folder differs from the expected result"
}
if [ -n "$wine_prefix" ]; then
    # The conversions went through the Windows stand-in, with the game's Windows paths.
    grep -qF 'windows argument: C:\Program Files\Rail Simulator\' "$scratch/serz.log" ||
        fail "the game's serialiser did not run under Wine"
fi
echo "PASS ($case_name)"

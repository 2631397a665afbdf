#!/usr/bin/env bash
# Runs the built program as a user meets it: on a virtual display, from a scratch copy of a
# demo package folder against a scratch demo game folder. The install button is pressed and
# every question and message is answered from the keyboard; the game folder is then compared
# file by file with the expected result.
#   tests/e2e/e2e.sh <build folder> <route|scenario|assets|route-declined> [--update]
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

kind=${case_name%-declined}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/veltrane-e2e-$case_name.XXXXXX")
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "${VELTRANE_E2E_KEEP:-}" ] && echo "kept: $scratch" >&2 || rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
    echo "FAIL ($case_name): $*" >&2
    [ -f "$scratch/stderr.log" ] && sed 's/^/  program: /' "$scratch/stderr.log" >&2
    exit 1
}

mapfile -t layout < <("$root/scripts/demo-layout.sh" "$scratch/demo" "$kind" "$build")
package=${layout[0]}
prefix=${layout[1]}
game="$prefix/drive_c/Program Files/Rail Simulator"
expected="$root/tests/e2e/expected/$case_name.sha256"

# The game folder's files with their digests, in a stable order.
manifest() {
    (cd "$game" && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r sha256sum)
}
before=$(manifest)

# No Wine and no other serialiser: the program finds its own tools beside it. It shows its
# windows on the virtual display whatever platform the caller chose (the unit tests run
# offscreen).
mkdir -p "$scratch/empty-path"
(cd "$scratch" && WINEPREFIX="$prefix" PATH="$scratch/empty-path" HOME="$scratch" \
    QT_QPA_PLATFORM=xcb "$package/veltrane" 2>"$scratch/stderr.log") &
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
expect() { # <kind of box> <text the box must start with> <window title> <key>
    local kind=$1 text=$2 title=$3 key=$4 line
    local deadline=$((SECONDS + 30))
    while [ "$(grep -c '^veltrane: ' "$scratch/stderr.log" || true)" -le "$shown" ]; do
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended before showing: $text"
        [ $SECONDS -lt $deadline ] || fail "nothing was shown; expected: $text"
        sleep 0.1
    done
    shown=$((shown + 1))
    line=$(grep '^veltrane: ' "$scratch/stderr.log" | sed -n "${shown}p")
    case "$line" in
    "veltrane: $kind: $text"*) ;;
    *) fail "expected $kind \"$text\", shown: $line" ;;
    esac
    press "$(window_of "$title")" "$key"
}

main=$(window_of "Veltrane  Version [0-9.]*")
# The path box has the focus; the install button is two tabs away.
press "$main" Tab Tab space

case "$case_name" in
route)
    expect question "You are about to install Route - Riverside Branch" Veltrane y
    ;;
route-declined)
    expect question "You are about to install Route - Riverside Branch" Veltrane n
    ;;
scenario)
    expect question "Although you do not appear to have Mk2_Coach_DO" Veltrane y
    expect report "The following items required by this scenario are not installed on your PC:- |  | Thirdparty\\DemoWorks\\Wagons\\Special_Tank.bin" "Missing Rolling-Stock" Return
    ;;
esac

if [ "$case_name" = route-declined ]; then
    sleep 1
    kill -0 "$app_pid" 2>/dev/null || fail "the window closed after No"
    [ "$(manifest)" = "$before" ] || fail "the game folder changed after No"
    echo "PASS ($case_name): nothing changed and the window stayed open"
    exit 0
fi

expect message "Your package has been installed." Veltrane Return
for _ in $(seq 100); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after the final message"
wait "$app_pid" || fail "the program ended with status $?"
app_pid=
extra=$(grep '^veltrane: ' "$scratch/stderr.log" | sed -n "$((shown + 1)),\$p")
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
echo "PASS ($case_name)"

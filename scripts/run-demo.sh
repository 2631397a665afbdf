#!/usr/bin/env bash
# Builds Veltrane and starts it on the bundled demo, as a user would meet it: from a package
# folder, with the demo game where the game usually lies (inside a scratch Wine prefix).
#   scripts/run-demo.sh [scenario|route|assets]     (scenario when not given)
# The scratch copy lies in ${VELTRANE_DEMO_DIR:-/tmp/veltrane-demo}; each run starts afresh.
set -euo pipefail
source "$(dirname "$0")/common.sh"

kind=${1:-scenario}
case "$kind" in
route | scenario | assets) ;;
*) echo "usage: $0 [scenario|route|assets]" >&2; exit 2 ;;
esac

ensure_packages "${BUILD_PACKAGES[@]}"
configure_and_build default
build=$(preset_dir default)

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] &&
    [ "${QT_QPA_PLATFORM:-}" != offscreen ]; then
    echo "No display is available (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
    echo "Veltrane is a desktop program: start this from a desktop session, or under a" >&2
    echo "virtual display, for example: xvfb-run -a $0 $kind" >&2
    exit 1
fi

scratch=${VELTRANE_DEMO_DIR:-/tmp/veltrane-demo}
mapfile -t layout < <("$VELTRANE_ROOT/scripts/demo-layout.sh" "$scratch" "$kind" "$build")
package=${layout[0]}
prefix=${layout[1]}

echo "Package folder: $package"
echo "Game folder:    $prefix/drive_c/Program Files/Rail Simulator"
cd "$scratch"
WINEPREFIX="$prefix" exec "$package/veltrane"

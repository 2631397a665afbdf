# Shared by the scripts: installing what is missing and building.
# shellcheck shell=bash

VELTRANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Installs the Debian packages that are missing; quick when nothing is.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libarchive-dev zlib1g-dev libsqlite3-dev)
# Wine (the `wine` command and Debian's 64-bit Wine) and MinGW, for the tests and benchmarks
# that run Windows programs: the game's batch files and the Windows stand-in serialiser.
WINE_PACKAGES=(wine wine64 gcc-mingw-w64-x86-64-win32)

# The build folder of each preset in CMakePresets.json.
preset_dir() {
    case $1 in
    default) echo "$VELTRANE_ROOT/build" ;;
    sanitize) echo "$VELTRANE_ROOT/build-asan" ;;
    fuzz) echo "$VELTRANE_ROOT/build-fuzz" ;;
    release) echo "$VELTRANE_ROOT/build-release" ;;
    *) echo "unknown preset '$1'" >&2; return 1 ;;
    esac
}

# configure_and_build <preset> [cmake --build options...]
# Configures every time: the preset's options then always hold in an existing build folder,
# and cmake is quick when nothing changed.
configure_and_build() {
    local preset=$1
    shift
    (cd "$VELTRANE_ROOT" && cmake --preset "$preset" >/dev/null &&
        cmake --build --preset "$preset" --parallel "$(nproc)" "$@")
}

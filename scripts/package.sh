#!/usr/bin/env bash
# Builds Veltrane for release in build-release/ (preset "release") and makes the Debian
# package there.
#   scripts/package.sh    leaves build-release/veltrane_<version>-<revision>_<arch>.deb
# scripts/check-package.sh checks what it makes.
set -euo pipefail
source "$(dirname "$0")/common.sh"

build=$(preset_dir release)

# dpkg-shlibdeps works out the package's library dependencies; help2man makes the manual page
# from the built program's --help.
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file help2man
configure_and_build release
# The changelog, the manual pages and the packed files carry the last commit's time rather
# than the build's.
if [ -z "${SOURCE_DATE_EPOCH:-}" ] &&
    SOURCE_DATE_EPOCH=$(git -C "$VELTRANE_ROOT" log -1 --format=%ct 2>/dev/null); then
    export SOURCE_DATE_EPOCH
fi
rm -f "$build"/veltrane_*.deb
(cd "$build" && cpack -G DEB)

deb=$(ls "$build"/veltrane_*.deb)
dpkg-deb --info "$deb" | grep -E 'Package|Version|Depends'
dpkg-deb --contents "$deb"
echo "Made $deb"

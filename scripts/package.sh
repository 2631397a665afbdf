#!/usr/bin/env bash
# Builds Veltrane for release in build-release/ (preset "release") and makes the Debian
# package there.
#   scripts/package.sh    leaves build-release/veltrane_<version>_<arch>.deb
set -euo pipefail
source "$(dirname "$0")/common.sh"

build=$(preset_dir release)

# dpkg-shlibdeps works out the package's library dependencies.
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file
configure_and_build release
(cd "$build" && cpack -G DEB)

deb=$(ls -t "$build"/veltrane_*.deb | head -n 1)
dpkg-deb --info "$deb" | grep -E 'Package|Version|Depends'
dpkg-deb --contents "$deb"
echo "Made $deb"

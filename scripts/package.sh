#!/usr/bin/env bash
# Builds Veltrane for release in build-pkg/ and makes the Debian package there.
#   scripts/package.sh    leaves build-pkg/veltrane_<version>_<arch>.deb
set -euo pipefail
source "$(dirname "$0")/common.sh"

build="$VELTRANE_ROOT/build-pkg"

# dpkg-shlibdeps works out the package's library dependencies.
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file
# The later CMAKE_BUILD_TYPE wins over configure_and_build's own.
configure_and_build "$build" -DCMAKE_BUILD_TYPE=Release -DVELTRANE_BUILD_TESTS=OFF \
    -DVELTRANE_BUILD_BENCH=OFF
(cd "$build" && cpack -G DEB)

deb=$(ls -t "$build"/veltrane_*.deb | head -n 1)
dpkg-deb --info "$deb" | grep -E 'Package|Version|Depends'
dpkg-deb --contents "$deb"
echo "Made $deb"

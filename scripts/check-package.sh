#!/usr/bin/env bash
# Makes the Debian package with scripts/package.sh and checks it: lintian finds no error or
# warning, the menu entry and the AppStream data are valid, `cmake --install` installs the
# same files; then installs it with dpkg, finds the manual pages, runs the installed program
# without a display, and removes it again. Installing needs root (or sudo), as CI runs.
#   scripts/check-package.sh
set -euo pipefail
source "$(dirname "$0")/common.sh"

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# The check removes what it installed; a veltrane installed by someone else stays untouched.
if dpkg-query -W -f='${Status}' veltrane 2>/dev/null | grep -q 'install ok installed'; then
    echo "A veltrane package is installed already; remove it (dpkg -r veltrane) and run again." >&2
    exit 1
fi

ensure_packages lintian desktop-file-utils appstream help2man man-db dpkg-dev file qt6-qpa-plugins
"$VELTRANE_ROOT/scripts/package.sh"
build=$(preset_dir release)
deb=$(ls "$build"/veltrane_*.deb)
version=$(dpkg-deb --field "$deb" Version)
echo "Checking $deb"

lintian --fail-on error,warning --display-info "$deb"

scratch=$(mktemp -d)
installed=""
cleanup() {
    rm -rf "$scratch"
    [ -z "$installed" ] || $sudo dpkg -r veltrane >/dev/null
}
trap cleanup EXIT

dpkg-deb -x "$deb" "$scratch/deb"
desktop-file-validate "$scratch/deb/usr/share/applications/org.veltrane.Veltrane.desktop"
appstreamcli validate --no-net "$scratch/deb/usr/share/metainfo/org.veltrane.Veltrane.metainfo.xml"

(cd "$scratch/deb" && find . ! -type d | sort) >"$scratch/deb.files"
DESTDIR="$scratch/install" cmake --install "$build" --prefix /usr >/dev/null
(cd "$scratch/install" && find . ! -type d | sort) >"$scratch/install.files"
if ! diff -u "$scratch/deb.files" "$scratch/install.files"; then
    echo "cmake --install (+) and the package (-) install different files." >&2
    exit 1
fi
for file in ./usr/share/man/man1/veltrane.1.gz ./usr/share/man/man1/veltrane-serz.1.gz \
    ./usr/share/doc/veltrane/copyright ./usr/share/doc/veltrane/changelog.Debian.gz; do
    grep -qxF "$file" "$scratch/deb.files" || { echo "The package lacks $file." >&2; exit 1; }
done

# Some minimal images tell dpkg to leave manual pages out; these are what is checked.
installed=yes
$sudo dpkg --path-include='/usr/share/man/man1/veltrane*' -i "$deb" >/dev/null
[ "$(man -w veltrane)" = /usr/share/man/man1/veltrane.1.gz ]
[ "$(man -w veltrane-serz)" = /usr/share/man/man1/veltrane-serz.1.gz ]
man -P cat veltrane | grep -q -- '--no-window'
# --version starts Qt Core only: no display is needed.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY /usr/bin/veltrane --version)" = "veltrane ${version%-*}" ]
$sudo dpkg -r veltrane >/dev/null
installed=""
[ ! -e /usr/bin/veltrane ] && [ ! -e /usr/share/man/man1/veltrane.1.gz ]
echo "The package $(basename "$deb") is lintian clean, installs, works and removes cleanly."

#!/usr/bin/env bash
# Builds the Debian package and checks its control fields and file list.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/*.deb)
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$(dpkg-deb -f "$deb" Package)" = vorn-gui ] || fail "package name"
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt5widgets5 libqt5multimedia5-plugins libqwt-qt5-6 libfftw3-double3 libusb-1.0-0 \
         gstreamer1.0-plugins-good; do
  printf '%s' "$depends" | grep -qw -- "$d" || fail "Depends lacks $d"
done
# The camera's pipeline element (camerabin) comes with the recommended plug-in set.
dpkg-deb -f "$deb" Recommends | grep -qw -- gstreamer1.0-plugins-bad || fail "Recommends lacks gstreamer1.0-plugins-bad"
files=$(dpkg-deb -c "$deb" | awk '{print $6}')
for f in ./usr/bin/vorn-gui ./usr/share/applications/vorn-gui.desktop \
         ./usr/lib/udev/rules.d/60-vorn-radar.rules ./usr/share/icons/hicolor/256x256/apps/vorn-gui.png \
         ./usr/share/metainfo/io.github.vorn.vorn_gui.metainfo.xml; do
  printf '%s\n' "$files" | grep -qxF "$f" || fail "package lacks $f"
done
echo "package $(basename "$deb") complete"

#!/usr/bin/env bash
# Installs the build tree into a temporary prefix and checks that every file an operator's
# machine needs is there, and that the udev rule grants access to the radar and nothing else.
set -euo pipefail
build=$1
source_dir=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail() { echo "FAIL: $*" >&2; exit 1; }
for f in bin/vorn-gui bin/vorn-gui-demo \
         share/applications/vorn-gui.desktop \
         share/metainfo/io.github.vorn.vorn_gui.metainfo.xml \
         share/icons/hicolor/48x48/apps/vorn-gui.png \
         share/icons/hicolor/256x256/apps/vorn-gui.png \
         lib/udev/rules.d/60-vorn-radar.rules; do
  [ -e "$prefix/$f" ] || fail "missing $f"
done
[ -x "$prefix/bin/vorn-gui" ] || fail "vorn-gui is not executable"
# The firmware travels inside the program, not as a file of its own.
if find "$prefix" -name '*.hex' | grep -q .; then fail "firmware installed as a file"; fi

rule="$prefix/lib/udev/rules.d/60-vorn-radar.rules"
line=$(grep -v '^#' "$rule" | grep -v '^\s*$')
[ "$(printf '%s\n' "$line" | wc -l)" -eq 1 ] || fail "expected one rule line"
for want in 'ATTR{idVendor}=="04b4"' 'ATTR{idProduct}=="8613"' 'ENV{ID_SOFTWARE_RADIO}="1"' \
            'MODE="0660"' 'GROUP="plugdev"'; do
  printf '%s' "$line" | grep -qF "$want" || fail "rule lacks $want"
done
printf '%s' "$line" | grep -q '0666' && fail "rule opens the device to everyone"
# Rules named below 70 run before systemd's uaccess rule, which reads ID_SOFTWARE_RADIO.
case "$(basename "$rule")" in [0-6][0-9]-*) ;; *) fail "rule must sort before 70-uaccess.rules" ;; esac

desktop-file-validate "$prefix/share/applications/vorn-gui.desktop"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/io.github.vorn.vorn_gui.metainfo.xml" >/dev/null \
  || appstreamcli validate --no-net "$prefix/share/metainfo/io.github.vorn.vorn_gui.metainfo.xml"
grep -q '^Exec=vorn-gui$' "$prefix/share/applications/vorn-gui.desktop" || fail "desktop entry Exec"
echo "install tree complete"

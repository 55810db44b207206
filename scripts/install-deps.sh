#!/usr/bin/env bash
# Installs every build, test and run dependency from Debian's packages.
# Idempotent: does nothing (and says nothing) when all packages are present.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  qtbase5-dev qtbase5-dev-tools qttools5-dev-tools
  qtmultimedia5-dev libqt5multimedia5-plugins libqt5multimediawidgets5
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  libqwt-qt5-dev
  libfftw3-dev
  libusb-1.0-0-dev
  umockdev libumockdev-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool
  clang libclang-rt-14-dev
  appstream desktop-file-utils dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null \
  2> >(grep -v "^debconf: delaying package configuration" >&2)

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian 12 packages the editor needs to build, test and run.
# Runs as the user: root is asked for (through sudo, or directly when this
# already runs as root) only for the apt-get step, and only when a package
# is missing.
#
#   scripts/install-deps.sh             the Linux build, tests and package
#   scripts/install-deps.sh --windows   the Windows build (scripts/build-windows.sh):
#                                       mingw-w64, wine64, nsis, zip, and autoconf
#                                       for liquid-dsp's cross build
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev qt6-multimedia-dev
  qt6-svg-dev qt6-tools-dev qt6-tools-dev-tools qt6-documentation-tools
  qt6-qpa-plugins libqt6svg6 libqt6sql6-sqlite sqlite3 libgl-dev
  googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb x11-utils desktop-file-utils poppler-utils multimon-ng python3 ser2net
  pulseaudio librsvg2-bin cups-bsd cups-daemon cups-client printer-driver-cups-pdf dpkg-dev file
  # The package test: lintian, the manual pages, the three shells'
  # completion, the desktop metadata, the units and the metrics checker.
  lintian man-db bash-completion zsh fish appstream systemd prometheus
  # The monitor's software-radio input: channeliser and FM demodulators,
  # and the RTL-SDR dongle.
  libliquid-dev librtlsdr-dev
)
if [ "${1:-}" = --windows ]; then
  # Qt for Windows is built from Debian's own sources (dpkg-dev fetches
  # them); Debian's moc, rcc and uic serve the cross build.
  packages=(
    mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
    wine64 nsis zip unzip fonts-dejavu-core xvfb dpkg-dev xz-utils cmake ninja-build qt6-base-dev-tools
    pulseaudio binutils python3 autoconf automake
  )
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=(env)
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo env)
else
  echo "These packages are missing: ${missing[*]}" >&2
  echo "Installing them needs root, and sudo is not installed. As root, run:" >&2
  echo "  apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${as_root[@]}" DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

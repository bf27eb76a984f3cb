#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need, but
# only those that are missing; safe to run again. Uses sudo when not root.
set -euo pipefail

packages=(
  g++ cmake ninja-build libgtest-dev libgmock-dev
  qt6-base-dev qt6-translations-l10n
  xvfb xauth xdotool x11-utils x11-apps imagemagick
  fonts-dejavu-core fonts-liberation
  # the sanitizer leg and the fuzz targets: clang with its sanitizer and
  # libFuzzer runtimes
  clang libclang-rt-14-dev
)
# Installing and packaging (resources/linux/, tests/install/): the icon
# renderer, the desktop-file validators, manual pages, the Debian package and
# lintian.
packages+=(librsvg2-bin desktop-file-utils appstream shared-mime-info libxml2-utils man-db
  dpkg-dev file lintian)
# The documents' check (tests/docs/), and the HTTP server of the --ping tests.
packages+=(python3)
# zaltool's --ping: libcurl, the system's HTTP client (the package depends on
# its run-time library libcurl4).
packages+=(libcurl4-openssl-dev)

# Windows cross builds (scripts/build-windows.sh) and the Windows test leg:
# MinGW-w64 for 64- and 32-bit, and Wine's 64-bit loader. Never add the i386
# architecture for wine32: it upgrades many system packages. 32-bit Wine comes
# from a private folder instead (scripts/wine32.sh), which needs the system's
# 32-bit C library loader (libc6-i386, a package of this architecture) and
# perl for the installer test's texts.
packages+=(
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 libc6-i386 perl
)
# Wine's own "MS Sans Serif" (code page 1250 too) and Tahoma, so that the
# Windows program's forms look under Wine as on a Czech Windows.
packages+=(fonts-wine)
# The Windows installer (NSIS with its x86 and amd64 stubs), and 32-bit x86
# code run in user mode: the i686 Linux compiler and qemu-i386.
packages+=(nsis qemu-user g++-i686-linux-gnu)
# The report page rendered in a real browser (tests/tools/report_test.sh): headless
# Chromium, and pdftotext to read the printed page back. The nightly job's
# systemd units checked with systemd-analyze (tests/install/).
packages+=(chromium poppler-utils systemd)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 \
  install -y -qq --no-install-recommends "${missing[@]}"

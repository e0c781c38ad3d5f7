#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need; only what is missing.
# Quiet and quick when everything is there already.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools
  libboost-dev libusb-1.0-0-dev
  # the service history: Qt's SQLite driver (a plugin) and the SQLite library's header
  libqt6sql6-sqlite libsqlite3-dev
  libgtest-dev libgmock-dev
  xvfb xauth
  umockdev libumockdev-dev
  # the fuzzers
  clang libclang-rt-14-dev
  # the Windows compile check: mingw-w64 and the Windows SDK headers
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
  # the Debian package (cpack, shlibdeps, udev's directory) and its validators, the completion's test
  dpkg-dev file udev desktop-file-utils appstream lintian bash-completion
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

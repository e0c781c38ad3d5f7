#!/usr/bin/env bash
# Installs the Debian packages (Debian 12) that are missing; quiet and quick when all are there.
#   scripts/install-deps.sh --run    what building and running the two programs needs
#   scripts/install-deps.sh          that and what the tests need (scripts/test.sh, CI)
# As root it runs apt-get itself, otherwise through sudo; without either it prints the apt-get
# command to run and exits 1.
set -euo pipefail

run_packages=(
  cmake ninja-build g++ pkg-config
  # Qt 6 (Core, Gui, Widgets, Sql, Test) and the translations' compiler
  qt6-base-dev qt6-tools-dev qt6-l10n-tools
  libboost-dev libusb-1.0-0-dev
  # the service history: Qt's SQLite driver (a plugin) and the SQLite library's header
  libqt6sql6-sqlite libsqlite3-dev
)
test_packages=(
  qt6-tools-dev-tools
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

packages=("${run_packages[@]}")
case "${1:-}" in
  --run) ;;
  "") packages+=("${test_packages[@]}") ;;
  *) echo "usage: scripts/install-deps.sh [--run]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "Missing Debian packages. As root, run:" >&2
    echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "Installing ${#missing[@]} packages: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
# apt's own progress: the downloads, then one line per package unpacked and set up.
"${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"

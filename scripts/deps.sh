#!/usr/bin/env bash
# Installs the Debian packages Veltrane needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqt6sql6-sqlite libsqlite3-dev libqt6sql6-psql libpq-dev
  postgresql openssl
  libbenchmark-dev
  xvfb
  # packages, desktop files and manual pages: made, checked and unpacked by the package test
  dpkg-dev file lintian help2man man-db desktop-file-utils appstream shared-mime-info
  # the screen reader test: a session bus, the accessibility bus and registry, a client, keys
  dbus-daemon at-spi2-core python3-pyatspi xdotool
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "Missing packages (${missing[*]}) and no root rights to install them." >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"

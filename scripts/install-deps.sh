#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Idempotent: apt-get runs only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libpugixml-dev
  libusb-dev libusb-0.1-4
  umockdev libumockdev0 libumockdev-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libgtk-3-dev xvfb xauth
  clang libclang-rt-14-dev
  libtsan2
  libpng-dev
  libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-tools
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-x x11-apps
  python3 python3-numpy python3-setuptools python3-venv python3-pip
  valgrind
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
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running need, and only those that
# are missing. Safe to run again; does nothing when everything is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev binutils
  qt6-base-dev libgl-dev fonts-dejavu-core
  libbenchmark-dev liblz4-dev
  dpkg-dev file
  gnuplot-nox
  xvfb xauth
  libvulkan-dev mesa-vulkan-drivers vulkan-tools glslc vulkan-validationlayers
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine: only the packages
# that are missing, so a second run does nothing.
set -euo pipefail
packages=(make cmake ninja-build g++ clang libgtest-dev libgmock-dev libbenchmark-dev python3 zip unzip 7zip
          zlib1g-dev libdeflate-dev liblnk-utils faketime libclang-rt-14-dev
          pkg-config libx11-dev libcairo2-dev libpango1.0-dev liblitehtml-dev fonts-dejavu-core xvfb xdotool imagemagick
          libsystemd-dev dbus python3-dbusmock desktop-file-utils
          trayer openbox x11-utils xclip x11-xkb-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Missing packages: ${missing[*]}. Run this as root or install sudo." >&2; exit 1; }
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only those missing), then configures
# and builds into the given folder. Usage: scripts/setup.sh BUILD_DIR [cmake options...]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$1"
shift

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev libudev-dev libhidapi-dev
          libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev libssl-dev srecord xvfb xauth socat)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$(nproc)"

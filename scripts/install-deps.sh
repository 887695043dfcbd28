#!/usr/bin/env bash
# Installs the Debian packages that building, testing, fuzzing and the GUI need.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev
  libcli11-dev nlohmann-json3-dev
  clang libclang-rt-dev
  xz-utils
)
# The desktop application and its offscreen/Xvfb tests.
packages+=(qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev
           xvfb xauth fonts-dejavu-core adwaita-icon-theme)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

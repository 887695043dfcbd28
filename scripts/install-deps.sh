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
# Test peers: the fixture tests check our output with the real tools.
packages+=(fdisk gdisk dosfstools e2fsprogs ntfs-3g exfatprogs pst-utils)
packages+=(qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev
           xvfb xauth fonts-dejavu-core adwaita-icon-theme)

exec bash "$(dirname "$0")/apt-install.sh" install-deps "${packages[@]}"

#!/usr/bin/env bash
# Installs the Debian packages that tests/fixtures/make-fixtures.sh needs to
# regenerate the committed disk images. Building and running the tests does
# not need any of them. Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(fdisk dosfstools mtools ntfs-3g e2fsprogs xz-utils python3 coreutils tar)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-fixture-tools: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-fixture-tools: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -q
"${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"

#!/usr/bin/env bash
# Installs the Debian packages that tests/fixtures/make-fixtures.sh needs to
# regenerate the committed disk images. Building and running the tests does
# not need any of them. Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(fdisk dosfstools mtools ntfs-3g e2fsprogs exfatprogs exfat-fuse xz-utils python3 coreutils tar
          imagemagick webp ghostscript zip sox lame vorbis-tools flac sqlite3)

exec bash "$(dirname "$0")/apt-install.sh" install-fixture-tools "${packages[@]}"

#!/usr/bin/env bash
# `make run`: the desktop application when it was built and a display exists,
# else the headless tool on the sample disk image.
set -euo pipefail
build=${1:?build dir}
sample="$build/tests/fixtures/sample-disk.img"
if [ -x "$build/src/shell/ui/vantor-gui" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/src/shell/ui/vantor-gui" --image "$sample"
fi
if [ -x "$build/src/shell/ui/vantor-gui" ]; then
  echo "No display found: showing the headless tool. Run 'xvfb-run make run' or use $build/vantor directly." >&2
fi
exec "$build/vantor" drives --image "$sample"

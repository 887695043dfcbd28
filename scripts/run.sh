#!/usr/bin/env bash
# `make run`: the desktop application when it was built and a display exists
# (with the sample disk image attached when no drive of this machine can be
# read); without a display, how to run it headless, then the headless tool.
set -euo pipefail
build=${1:?build dir}
shift || true
gui="$build/src/shell/ui/vantor-gui"
cli="$build/vantor"
sample="$build/tests/fixtures/sample-disk.img"

if [ -x "$gui" ] && [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  args=()
  if [ -f "$sample" ]; then args+=(--fallback-image "$sample"); fi
  rc=0
  "$gui" "${args[@]}" "$@" || rc=$?
  # 134: Qt aborted because the display named in DISPLAY cannot be reached.
  [ "$rc" -ne 134 ] && exit "$rc"
  echo "The display ${DISPLAY:-} cannot be reached." >&2
fi

if [ -x "$gui" ]; then
  cat >&2 <<MSG
No display found, so the desktop application cannot open its window.
  On a virtual display:   xvfb-run make run
  Without any window:     the command-line tool runs the same scans, e.g.
    $cli drives --image $sample
    $cli scan deleted --partition 0 --image $sample
    $cli recover deleted --partition 0 --to /tmp/recovered --image $sample
Here is the drive table of the sample image:
MSG
else
  echo "The desktop application was not built (Qt 6 missing?); showing the command-line tool." >&2
fi
exec "$cli" drives --image "$sample"

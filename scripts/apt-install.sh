#!/usr/bin/env bash
# apt-install.sh TAG PACKAGE...: installs the Debian packages of the list
# that are missing, with apt-get as root or through sudo. Does nothing when
# all are present.
set -euo pipefail
tag=$1
shift
missing=()
for p in "$@"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "$tag: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "$tag: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive

# On a fresh machine another package manager (unattended-upgrades, a desktop
# updater) may hold the dpkg or apt lock for a while. apt-get waits for the
# dpkg lock by itself with DPkg::Lock::Timeout, but not for the lists lock of
# `update` nor the archives lock: retry those while the lock is the reason.
lock_wait=${APT_LOCK_WAIT:-300}   # seconds
lock_poll=${APT_LOCK_POLL:-5}
deadline=$((SECONDS + lock_wait))
apt_get() {
  local err rc told=0
  err=$(mktemp)
  while :; do
    rc=0
    "${SUDO[@]}" apt-get -o DPkg::Lock::Timeout="$lock_wait" "$@" 2>"$err" || rc=$?
    cat "$err" >&2
    if [ $rc -ne 0 ] && grep -qiE 'could not get lock|unable to lock|unable to acquire the dpkg frontend lock' "$err" &&
       [ $SECONDS -lt $deadline ]; then
      [ $told = 1 ] || echo "$tag: another package manager holds the lock; waiting (at most ${lock_wait}s)" >&2
      told=1
      sleep "$lock_poll"
      continue
    fi
    rm -f "$err"
    return $rc
  done
}
apt_get update -q
apt_get install -y -q --no-install-recommends "${missing[@]}"

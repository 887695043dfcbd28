#!/usr/bin/env bash
# scripts/apt-install.sh against a stand-in apt-get that reports the lock held
# by another package manager: the script waits it out, and gives up (failing)
# once the wait is over. Nothing is installed: apt-get, dpkg-query and id are
# fakes on PATH.
set -euo pipefail
script=$(cd "$(dirname "$0")/../.." && pwd)/scripts/apt-install.sh
fake=$(mktemp -d)
trap 'rm -rf "$fake"' EXIT

cat >"$fake/id" <<'SH'
#!/bin/sh
echo 0
SH
cat >"$fake/dpkg-query" <<'SH'
#!/bin/sh
exit 1
SH
# Holds the lock for the first $HELD calls of each verb, then succeeds.
cat >"$fake/apt-get" <<'SH'
#!/bin/bash
verb=update
for a in "$@"; do case $a in update|install) verb=$a ;; esac; done
n=$(cat "$FAKE_DIR/$verb.calls" 2>/dev/null || echo 0)
echo $((n + 1)) >"$FAKE_DIR/$verb.calls"
echo "$*" >>"$FAKE_DIR/log"
if [ "$n" -lt "$HELD" ]; then
  if [ $verb = update ]; then
    echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (packagekitd)" >&2
  else
    echo "E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (unattended-upgr)" >&2
  fi
  exit 100
fi
SH
chmod +x "$fake"/*
export PATH="$fake:$PATH" FAKE_DIR=$fake APT_LOCK_POLL=0.1

fail() { echo "FAIL: $*" >&2; cat "$fake/log" >&2 || true; exit 1; }

# The lock is released after three tries of each step: both steps go through.
HELD=3 APT_LOCK_WAIT=60 bash "$script" test pkg-a pkg-b 2>"$fake/err" || fail "gave up while the lock was freed"
[ "$(cat "$fake/update.calls")" = 4 ] || fail "update tried $(cat "$fake/update.calls") times, not 4"
[ "$(cat "$fake/install.calls")" = 4 ] || fail "install tried $(cat "$fake/install.calls") times, not 4"
grep -q 'DPkg::Lock::Timeout=60 install -y -q --no-install-recommends pkg-a pkg-b' "$fake/log" || fail "install arguments"
[ "$(grep -c 'holds the lock; waiting' "$fake/err")" = 2 ] || fail "the wait is told once per step"

# A lock that is never freed: the script fails once the wait is over.
rm -f "$fake"/*.calls "$fake/log"
start=$SECONDS
if HELD=1000000 APT_LOCK_WAIT=1 bash "$script" test pkg-a 2>"$fake/err"; then fail "succeeded with the lock held"; fi
[ $((SECONDS - start)) -lt 30 ] || fail "waited far past APT_LOCK_WAIT"
grep -q 'Could not get lock' "$fake/err" || fail "apt-get's reason not shown"
[ ! -e "$fake/install.calls" ] || fail "install ran after update failed"
echo "apt-install lock tests passed"

#!/usr/bin/env bash
# quennel-cli without the rights to real-time waits (an ordinary user with
# no access to /dev/cpu_dma_latency and no real-time priority limit): the
# operations run and succeed, and standard error says once what is missing.
# With the rights (root) nothing is said. Needs root, to be both.
#   realtime-notice.sh QUENNEL-CLI
set -euo pipefail

program=$(realpath "$1")
if (($(id -u) != 0)) || ! command -v setpriv >/dev/null; then
  echo "needs root and setpriv to run as an ordinary user too: skipped"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 0777 "$work"
cd "$work"
printf '\x0f\x00\x01' >image.bin
chmod 0666 image.bin

notice='Real-time waits not granted'
run() { "$@" --port sim --sim-chip chip.bin -q -d 82S123 program image.bin 2>&1 >/dev/null; }

as_user=$(run setpriv --reuid=65534 --regid=65534 --clear-groups -- "$program" || {
  echo "the run without the rights failed"
  exit 1
})
count=$(grep -c "$notice" <<<"$as_user" || true)
if ((count != 1)); then
  echo "without the rights the notice came $count times; standard error was:"
  echo "$as_user"
  exit 1
fi
grep -q '^quennel-cli: Real-time waits not granted: no write access to /dev/cpu_dma_latency, no real-time priority; ' <<<"$as_user" || {
  echo "the notice does not name what is missing: $as_user"
  exit 1
}

rm -f chip.bin
as_root=$(run "$program") || {
  echo "the run with the rights failed: $as_root"
  exit 1
}
if grep -q "$notice" <<<"$as_root"; then
  echo "with the rights the notice still came: $as_root"
  exit 1
fi
echo "the notice came once without the rights and not with them"

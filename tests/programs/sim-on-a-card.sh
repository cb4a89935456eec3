#!/usr/bin/env bash
# quennel-sim with its programmer on a port card (--base 0xD010): started
# under a virtual X server and closed as a desktop would, its bus trace must
# show the real search: the three standard ports opened, tried and given
# back in their order, then the card opened, tested, opened again for the
# confirming test and held until the close.
#   sim-on-a-card.sh QUENNEL-SIM
set -euo pipefail

program=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$(dirname "$(realpath "$0")")/under-xvfb.sh" "$program" --base 0xD010 --trace "$work/bus.trace"

opened=$(grep -oE '# (EnablePorts|DisablePorts) [0-9A-F]{4}' "$work/bus.trace" | cut -d' ' -f2,3 | tr '\n' ' ')
expected='EnablePorts 0278 DisablePorts 0278 EnablePorts 0378 DisablePorts 0378 EnablePorts 03BC DisablePorts 03BC EnablePorts D010 EnablePorts D010 DisablePorts D010 '
if [[ $opened != "$expected" ]]; then
  echo "the ports were opened and given back as: $opened"
  exit 1
fi
# The model check's burst reached the card's control register.
bursts=$(grep -c ' W D012 0F$' "$work/bus.trace" || true)
if ((bursts < 128 * 32)); then
  echo "the model check did not run on the card ($bursts burst writes)"
  exit 1
fi
echo "found on the card at D010"

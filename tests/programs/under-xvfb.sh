#!/usr/bin/env bash
# Starts a window program under a virtual X server of its own, waits until
# its window is on the screen, asks it to close with SIGTERM (as a desktop
# session does at logout) and expects it to end with status 0, having left
# the simulated programmer unharmed.
#   under-xvfb.sh PROGRAM [ARGUMENTS...]
set -euo pipefail

program=$1
shift
# In a sanitized build, a leak of Qt's own libraries is no fault of ours.
export LSAN_OPTIONS=${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(realpath "$0")")/lsan.supp
work=$(mktemp -d)
cleanup() {
  [[ -n ${app:-} ]] && kill -KILL "$app" 2>/dev/null || true
  [[ -n ${server:-} ]] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# The server picks a free display and writes its number to the pipe.
exec 3<> >(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
server=$!
read -r -t 30 display <&3 || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$display

cd "$work"
"$program" "$@" >"$work/out.log" 2>"$work/err.log" &
app=$!

if ! timeout 60 xdotool search --sync --onlyvisible --name '^Quennel ' >/dev/null; then
  echo "no window appeared"
  cat "$work/err.log"
  exit 1
fi
# Let the start-up's search run before the close arrives.
sleep 2
kill -TERM "$app"
status=0
timeout 60 tail --pid="$app" -f /dev/null || { echo "the program did not end"; exit 1; }
wait "$app" || status=$?
app=
cat "$work/err.log"
if ((status != 0)); then
  echo "exit status $status"
  exit 1
fi
if grep -q 'violation' "$work/err.log"; then
  exit 1
fi
echo "closed with status 0"

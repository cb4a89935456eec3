#!/usr/bin/env bash
# The operator's settings survive a restart of the real program: under a
# virtual X server of its own, quennel-sim is started in a fresh working
# folder, a device and a file type are chosen, a file is loaded, the buttons
# are enlarged and the window moved; SIGTERM closes it as its close box does.
# Started again in the same folder, it must come up with all of that back:
# the settings file's nine lines, the window's place, and the window's left
# column and status line pixel for pixel as they were at the close (after a
# click on Check Sum, since a reload leaves the sum to be asked for).
#   settings-round-trip.sh QUENNEL-SIM
set -euo pipefail

program=$(realpath "$1")
# In a sanitized build, a leak of Qt's own libraries is no fault of ours.
export LSAN_OPTIONS=${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$(dirname "$(realpath "$0")")/lsan.supp
work=$(mktemp -d)
cleanup() {
  [[ -n ${app:-} ]] && { kill -KILL "$app" && wait "$app"; } 2>/dev/null || true
  [[ -n ${server:-} ]] && kill "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAILED: $*"
  [[ -f $work/err.log ]] && cat "$work/err.log"
  exit 1
}

exec 3<> >(:)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
server=$!
read -r -t 30 display <&3 || fail "Xvfb did not start"
export DISPLAY=:$display

mkdir "$work/run" "$work/files"
# One S1 record of 16 bytes at 0010 (its sum 0654) and an end record.
printf 'S1130010123456789ABCDEF00F1E2D3C4B5A697888\r\nS9030000FC\r\n' >"$work/files/image.hex"

# Positions inside the window, at normal button size.
row_82S129=(180 145)   # row 7 of the device list, 15 pixels a row from 32
file_button=(65 274)
motorola_row=(178 281) # row 2 of the file-type list, 14 pixels a row from 246
load_button=(65 230)
scale_button=(65 340)
check_sum_large=(77 255) # Check Sum once the buttons are large
compared=(662 430)        # everything above the device start and end

window=
origin=(0 0)
find_window() {
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Quennel ' | head -1) ||
    fail "no window appeared"
  local geometry
  geometry=$(xdotool getwindowgeometry --shell "$window")
  origin=($(sed -n 's/^X=//p; s/^Y=//p' <<<"$geometry"))
}
click() { # x y inside the window
  xdotool mousemove $((origin[0] + $1)) $((origin[1] + $2)) click 1
  sleep 0.5
  xdotool mousemove 1000 750 # no hover highlight in the pictures
  sleep 0.3
}
# Answers a box or dialog by its title: focus it (no window manager does),
# then type what is given and press Enter.
answer() {
  local title=$1 text=${2:-} box
  box=$(timeout 30 xdotool search --sync --onlyvisible --name "^$title\$" | head -1) || fail "no $title box"
  xdotool windowfocus --sync "$box"
  [[ -n $text ]] && xdotool type --delay 10 "$text"
  xdotool key Return
  timeout 30 bash -c "while xdotool search --onlyvisible --name '^$title\$' >/dev/null; do sleep 0.2; done" ||
    fail "the $title box stayed open"
  sleep 0.5
}
picture() { # name: the compared part of the window
  xwd -root -silent |
    convert xwd:- -crop "${compared[0]}x${compared[1]}+${origin[0]}+${origin[1]}" +repage "$work/$1.png"
}
differing_pixels() {
  compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true
}
start() {
  cd "$work/run"
  "$program" --chip "$work/chip.bin" >>"$work/out.log" 2>>"$work/err.log" &
  app=$!
  find_window
}
stop() {
  kill -TERM "$app"
  timeout 60 tail --pid="$app" -f /dev/null || fail "the program did not end"
  local status=0
  wait "$app" || status=$?
  app=
  ((status == 0)) || fail "exit status $status"
  ! grep -q violation "$work/err.log" || fail "the simulated programmer saw a violation"
}

# First run: no settings file, so the start-up ends with the device list open.
start
list_point=p{$((origin[0] + 200)),$((origin[1] + 40))}
timeout 30 bash -c "until xwd -root -silent | convert xwd:- -format '%[pixel:$list_point]' info: |
  grep -vq '(0,0,128)'; do sleep 0.3; done" || fail "the device list did not open" # navy until then
click "${row_82S129[@]}"
answer Information
click "${file_button[@]}"
click "${motorola_row[@]}"
click "${load_button[@]}"
answer Open "$work/files/image.hex"
click "${scale_button[@]}"
xdotool windowmove --sync "$window" 40 30
sleep 0.5
find_window
((origin[0] == 40 && origin[1] == 30)) || fail "the window did not move: ${origin[*]}"
picture at-close
stop

settings=$(cat -A "$work/run/Quennel.Cfg")
expected=$(printf '7^M$\n2^M$\n255^M$\n662^M$\n476^M$\n30^M$\n40^M$\n1^M$\n%s^M$' "$work/files/image.hex")
[[ $settings == "$expected" ]] || fail "settings file:"$'\n'"$settings"

# Second run: the seating prompt of the restored device, then everything back.
start
answer Information
sleep 1
find_window
((origin[0] == 40 && origin[1] == 30)) || fail "the window came back at ${origin[*]}, not 40 30"
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')
[[ $geometry == 662x476 ]] || fail "the window came back $geometry"
picture after-start
click "${check_sum_large[@]}"
picture after-check-sum
# The reload leaves the sum to be asked for: the pictures must tell that
# apart, or their agreement below would prove nothing.
[[ $(differing_pixels at-close after-start) -gt 0 ]] || fail "the pictures do not show the check sum"
difference=$(differing_pixels at-close after-check-sum)
[[ $difference == 0 ]] || {
  kept=${TMPDIR:-/tmp}/quennel-round-trip-pictures
  mkdir -p "$kept" && cp "$work"/*.png "$kept"/
  fail "the window differs from the one closed in $difference pixels (pictures in $kept)"
}
stop
echo "settings, window, device, file type, button size and file restored"

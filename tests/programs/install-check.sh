#!/usr/bin/env bash
# Installs the build into a scratch DESTDIR and checks what lands there: the
# three programs, the help text where Help finds it, valid desktop entries,
# the icon, and manual pages that render without a warning and name exactly
# the options the programs' own --help names.
#   install-check.sh BUILD_DIR
set -euo pipefail

build=$1
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null
root=$dest/usr
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

for program in quennel quennel-sim quennel-cli; do
  [[ -x $root/bin/$program ]] || fail "$program is not installed as a program"
done
# Help reads the installed copy from ../share/quennel beside the program's folder.
[[ -s $root/bin/../share/quennel/Halden.Txt ]] || fail "the help text is not in share/quennel"
[[ -s $root/share/icons/hicolor/scalable/apps/quennel.svg ]] || fail "no icon"
for entry in quennel quennel-sim; do
  file=$root/share/applications/$entry.desktop
  [[ -f $file ]] || { fail "no desktop entry $entry"; continue; }
  desktop-file-validate "$file" || fail "$entry.desktop does not validate"
  grep -qx "Exec=$entry" "$file" || fail "$entry.desktop does not start $entry"
done

# The rights to real-time waits for group lp: the udev rule under the prefix,
# the limits entry in the configuration folder chosen at configure time.
grep -qx 'KERNEL=="cpu_dma_latency", GROUP="lp", MODE="0660"' "$root/lib/udev/rules.d/60-quennel.rules" ||
  fail "no udev rule for /dev/cpu_dma_latency"
limits=$(find "$dest" -path '*/security/limits.d/quennel.conf')
[[ -n $limits ]] && grep -q '^@lp.*rtprio.*10' "$limits" || fail "no limits.d entry giving group lp a real-time priority"

options() { grep -o -- '--[a-z][a-z0-9-]*' | sort -u; }
for program in quennel quennel-sim quennel-cli; do
  page=$root/share/man/man1/$program.1
  [[ -f $page ]] || { fail "no manual page for $program"; continue; }
  warnings=$(groff -man -ww -Tascii "$page" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "$program.1 renders with warnings: $warnings"
  grep -q "$("$root/bin/$program" --version | awk '{print $NF}')" "$page" ||
    fail "$program.1 does not carry the program's version"
  rendered=$(groff -man -Tascii "$page" 2>/dev/null | col -b)
  help=$("$root/bin/$program" --help)
  missing=$(comm -23 <(options <<<"$help") <(options <<<"$rendered"))
  extra=$(comm -13 <(options <<<"$help") <(options <<<"$rendered"))
  [[ -z $missing ]] || fail "$program.1 lacks options of --help: $missing"
  [[ -z $extra ]] || fail "$program.1 names options --help does not: $extra"
done

((failures == 0)) && echo "installation checked"
exit $((failures > 0))

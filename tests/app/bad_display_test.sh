#!/usr/bin/env bash
# The desktop program on a display it cannot use: an X display with no server, only
# a Wayland display whose socket is not there, an unknown platform. Each run ends
# with status 1 and one line on standard error that says so, names what was tried
# and points to inhibra-fit; never Qt's abort, a core dump or a sanitizer report.
#   bad_display_test.sh PROGRAM
set -euo pipefail
program=$(realpath "$1")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 700 "$work"

# A display number no X server holds on this machine.
n=97
while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done

failed=0
# check NAME EXPECTED VARIABLE=VALUE...: runs the program with only those display
# variables (and a runtime folder of its own, where no Wayland socket is).
check() {
  local name=$1 expected=$2 err status lines
  shift 2
  set +e
  err=$(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_SESSION_TYPE \
    XDG_RUNTIME_DIR="$work" "$@" "$program" Data.in 2>&1 >/dev/null </dev/null)
  status=$?
  set -e
  lines=$(printf '%s' "$err" | grep -c '' || true)
  if [ "$status" -ne 1 ] || [ "$lines" -ne 1 ] ||
    ! grep -q '^inhibra: no display it can use' <<<"$err" ||
    ! grep -qF "$expected" <<<"$err" || ! grep -q 'inhibra-fit' <<<"$err"; then
    echo "FAIL ($name): status $status, $lines lines on standard error:" >&2
    printf '%s\n' "$err" >&2
    failed=1
  else
    echo "ok ($name): $err"
  fi
}

check "X display without a server" "DISPLAY=:$n" DISPLAY=":$n"
check "only a Wayland display" "WAYLAND_DISPLAY=wayland-97" WAYLAND_DISPLAY=wayland-97
check "unknown platform" "QT_QPA_PLATFORM=nonsense" QT_QPA_PLATFORM=nonsense DISPLAY=":$n"
exit "$failed"

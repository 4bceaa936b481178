#!/usr/bin/env bash
# The window as a user meets it on a desktop: an X server (Xvfb) with a
# window manager (openbox), keys typed by xdotool, the screen read back with
# ImageMagick's import.
#   1. A path typed into the window and Enter: the window stays open, and the
#      close box saves that path and ends with status 2.
#   2. The program opened on a 1,024-page fax, as a file manager opens it:
#      the viewer shows its first page within a second; closing it ends
#      with 0 and leaves the settings file as it was.
#   3. The next plain start finds the source and mode the user left.
# Usage: desktop_check.sh TAMARIND MAKE_WINFAX. Exits 77 (skipped) when a
# tool is missing.
set -euo pipefail

tamarind="$1"
make_winfax="$2"
limit_ms="${DESKTOP_VIEWER_LIMIT_MS:-1000}"

for tool in Xvfb openbox xdotool xprop import convert pbmtext pnmenlarge pnmpad pbmtog3; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/setup installs it)"
    exit 77
  fi
done
if [ -e "$(dirname "$tamarind")/tamarind.ini" ]; then
  echo "FAILED: $(dirname "$tamarind")/tamarind.ini exists; the program would use it instead of a private one"
  exit 1
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; exit 1; }
now_ms() { date +%s%3N; }
# Whether the text $2 is in $1 (no pipe: with pipefail, grep -q ending a
# pipe early would fail the writer).
holds() { [[ "$1" == *"$2"* ]]; }

# A private desktop: its own X display, settings, state and runtime folders.
mkdir -m 0700 "$work/runtime"
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_STATE_HOME="$work/state" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME"
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=":$(head -n1 "$work/display")"
openbox >"$work/openbox.log" 2>&1 &
pids+=($!)
# openbox names its theme on the root window once it has read its
# configuration, just before it starts managing windows; a window mapped
# before then may stay unmanaged and without the focus.
wm_ready() { holds "$(xprop -root _OB_THEME 2>/dev/null)" '= "'; }
ready=""
for _ in $(seq 200); do wm_ready && { ready=1; break; }; sleep 0.05; done
[ -n "$ready" ] || fail "openbox did not start: $(cat "$work/openbox.log"; xprop -root _OB_THEME 2>&1)"
sleep 0.2
settings="$XDG_CONFIG_HOME/tamarind/tamarind.ini"

# Waits up to $2 seconds for a visible window whose title matches $1 and
# prints its id (xdotool's own --sync wait has been seen to miss windows).
window_named() {
  local deadline=$(( $(now_ms) + $2 * 1000 ))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 && return 0
    sleep 0.02
  done
  return 1
}

# Waits up to 15 s for the program $1 to end and sets $status to its exit
# status ("still running" when it did not end). Not in a subshell, which
# could not wait for it.
status_of() {
  for _ in $(seq 750); do kill -0 "$1" 2>/dev/null || break; sleep 0.02; done
  if kill -0 "$1" 2>/dev/null; then
    status="still running"
    return
  fi
  status=0
  wait "$1" || status=$?
}


echo "== a typed path and Enter leave the window open"
"$tamarind" >"$work/first.log" 2>&1 &
app=$!
pids+=("$app")
main="$(window_named '^Tamarind$' 15)" || true
[ -n "$main" ] || fail "the window did not appear: $(cat "$work/first.log"; xwininfo -root -tree | grep -i tamarind)"
class="$(xprop -id "$main" WM_CLASS)"
holds "$class" '"tamarind"' || fail "WM_CLASS is not tamarind: $class"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
sleep 0.3
xdotool type --delay 10 "$work/faxes"
xdotool key Return
xdotool key Escape
sleep 0.5
kill -0 "$app" 2>/dev/null || fail "Enter or Esc ended the program"
[ -n "$(window_named '^Tamarind$' 2)" ] || fail "the window went after Enter"
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key alt+F4
status_of "$app"
[ "$status" = 2 ] || fail "the close box ended with $status, not 2"
grep -qx "FaxDir=$work/faxes" "$settings" || fail "the typed path was not saved: $(cat "$settings")"
grep -qx "DirFile=0" "$settings" || fail "the mode was not saved as a folder run"
echo "   typed into the source box, Enter moved on, the close box saved it (status 2)"

echo "== a fax opened from the file manager shows its first page within ${limit_ms} ms"
mkdir -p "$work/faxes"
pbmtext "Tamarind desktop check" | pnmenlarge 4 | pnmpad -white -width 1728 -height 1100 | pbmtog3 >"$work/page.g3"
pages=()
for _ in $(seq 1024); do pages+=("$work/page.g3"); done
"$make_winfax" -o "$work/faxes/big.fxd" --msb --res 0 "${pages[@]}"
cp "$settings" "$work/settings-before"
started="$(now_ms)"
"$tamarind" "$work/faxes/big.fxd" &
app=$!
pids+=("$app")
viewer="$(window_named 'big\.fxd' 10)" || true
[ -n "$viewer" ] || fail "the viewer did not appear"
shown=""
for _ in $(seq 200); do
  # The page is white where the empty page area is grey.
  mean="$(import -silent -window "$viewer" png:- 2>/dev/null |
          convert png:- -gravity center -crop 20%x20%+0+0 -format '%[fx:mean]' info: 2>/dev/null || echo 0)"
  if awk -v m="$mean" 'BEGIN { exit !(m > 0.9) }'; then shown="$(now_ms)"; break; fi
  sleep 0.02
done
[ -n "$shown" ] || fail "the viewer never showed the page"
elapsed=$((shown - started))
echo "   viewer with page 1 of 1,024 after $elapsed ms"
[ "$elapsed" -le "$limit_ms" ] || fail "the viewer took $elapsed ms (limit $limit_ms ms)"
xdotool windowactivate --sync "$viewer" >/dev/null 2>&1 || true
xdotool key ctrl+w
status_of "$app"
[ "$status" = 0 ] || fail "closing the viewer ended with $status, not 0"
cmp -s "$settings" "$work/settings-before" || fail "opening a fax changed the settings: $(diff "$work/settings-before" "$settings")"
echo "   closed with status 0; settings unchanged"

echo "== the next plain start is in the mode the user left"
"$tamarind" &
app=$!
pids+=("$app")
main="$(window_named '^Tamarind$' 15)" || true
[ -n "$main" ] || fail "the window did not appear"
sleep 0.3
xdotool windowactivate --sync "$main" >/dev/null 2>&1 || true
xdotool key alt+F4
status_of "$app"
[ "$status" = 2 ] || fail "the close box ended with $status, not 2"
grep -qx "FaxDir=$work/faxes" "$settings" || fail "the source changed: $(cat "$settings")"
grep -qx "DirFile=0" "$settings" || fail "the mode changed: $(cat "$settings")"
echo "   source folder and \"Convert Directory\" as left"
echo "desktop check passed"

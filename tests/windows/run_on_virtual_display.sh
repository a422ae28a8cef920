#!/bin/sh
# Runs a Windows program under Wine on a virtual X display of its own: Xvfb on a free display number, and
# the Wine prefix in $WINEPREFIX with its server and desktop on that display. Both end before this does.
# Usage: [TARNWICK_DPI=144] run_on_virtual_display.sh program.exe [argument...]
set -u
display_file=$(mktemp)
xvfb=
finish() {
  { wineserver -k; wineserver -w; } >/dev/null 2>&1
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -f "$display_file"
}
trap finish EXIT
trap 'exit 143' INT TERM

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
xvfb=$!
tries=0
while [ ! -s "$display_file" ] && [ "$tries" -lt 200 ]; do
  sleep 0.05
  tries=$((tries + 1))
done
if [ ! -s "$display_file" ]; then
  echo "run_on_virtual_display: Xvfb did not start" >&2
  exit 1
fi
DISPLAY=:$(cat "$display_file")
# A new prefix would offer to download Wine's .NET and browser engines, and wait on the display for an answer.
WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY WINEDLLOVERRIDES
# The prefix as the window needs it, set once. No window manager runs on the display: Wine is told so, or
# it waits two seconds for one whenever a window hides. Tahoma, the font of message boxes and captions,
# has no Thai letters under Wine (Wine's own has none, and Debian's Wine 8 does not find its fonts: Liberation
# Sans stands in): they come from Garuda (fonts-thai-tlwg), as Tahoma has them on Windows.
if ! grep -qs '"Managed"="N"' "$WINEPREFIX/user.reg"; then
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi
if ! grep -qs '^"Tahoma"=str(7):"Garuda.ttf,Garuda' "$WINEPREFIX/system.reg"; then
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
    /t REG_MULTI_SZ /d 'Garuda.ttf,Garuda' /f >/dev/null 2>&1
fi
# The scaling of the display: $TARNWICK_DPI dots per inch (96, 100 %, when unset), as Windows keeps it.
dots=${TARNWICK_DPI:-96}
if ! grep -qs "^\"LogPixels\"=dword:$(printf %08x "$dots")" "$WINEPREFIX/user.reg"; then
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dots" /f >/dev/null 2>&1
fi
wine "$@"

# Sourced: start_xvfb starts a virtual display on a free number and exports
# DISPLAY; stop_xvfb ends it.
start_xvfb() {
  local n=90
  # A server with a /tmp of its own (a chroot, a container) shows only in
  # its abstract socket, which clients here would reach before ours.
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] ||
    grep -qs "@/tmp/.X11-unix/X$n\$" /proc/net/unix; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
  export DISPLAY=":$n"
}
stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}
# A Wine prefix is made once; later starts only attach to the server.
prepare_wine() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    "$WINE64" wineboot -i >/dev/null 2>&1 || true
    wineserver -w
  fi
  # Caption buttons are Marlett glyphs; Debian's Wine does not find its own copy.
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  [ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/" 2>/dev/null || true
  # A server already running for the prefix (one lingering for a few seconds
  # after its last program) refuses -p with exit code 2 and stays as it is,
  # so let it end first; one a program still holds serves as it is.
  if ! wineserver -p 2>/dev/null; then
    timeout 10 wineserver -w
    wineserver -p 2>/dev/null || true
  fi
  # The first start brings up Wine's background services; they inherit its
  # output, so give them none, or a test runner reading a pipe waits forever.
  "$WINE64" cmd /c exit </dev/null >/dev/null 2>&1
  # Captions are Tahoma, whose Japanese glyphs come through Wine's link to
  # MS UI Gothic; with no such font Wine 10 draws boxes for them, so that
  # name stands for the installed IPA Gothic, the font Wine 8 takes for them.
  grep -q '^"MS UI Gothic"="IPAGothic"' "$WINEPREFIX/user.reg" 2>/dev/null ||
    "$WINE64" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'MS UI Gothic' /d IPAGothic /f \
      </dev/null >/dev/null 2>&1
}
# Whether Wine leaves top-level windows to a window manager (Y, its default)
# or places them itself (N). A bare Xvfb has none, and Wine would wait 2 s
# for it each time a window with a caption is hidden or destroyed.
wine_managed_windows() {
  grep -q "^\"Managed\"=\"$1\"" "$WINEPREFIX/user.reg" 2>/dev/null ||
    "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$1" /f </dev/null >/dev/null 2>&1
}

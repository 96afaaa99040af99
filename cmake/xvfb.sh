# Sourced: start_xvfb starts a virtual display on the first number free of
# sockets, its abstract one included (a chroot's or container's server has a
# /tmp of its own and shows only there), and exports DISPLAY and XVFB_PID.
start_xvfb() {
  local number
  number=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" </dev/null >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 200); do [ -s "$number" ] && break; sleep 0.05; done
  export DISPLAY=":$(cat "$number")"
  rm -f "$number"
  [ "$DISPLAY" != : ] || { echo "Xvfb did not start a display" >&2; return 1; }
}
# The server may be another shell's child, so its end is watched for.
stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null &&
    for _ in $(seq 100); do alive "$XVFB_PID" || break; sleep 0.05; done
  XVFB_PID=""
}
# alive PID: whether PID runs; an ended process no one has reaped does not.
alive() { [ -e "/proc/$1" ] && ! grep -q '^State:.*zombie' "/proc/$1/status" 2>/dev/null; }

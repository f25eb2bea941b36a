# start_xvfb: starts a virtual X display on a free number, exports DISPLAY and sets xvfb_pid.
# Sourced, not run.
start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$fdfile" ] && break
    sleep 0.05
  done
  if [ ! -s "$fdfile" ]; then
    echo "xvfb: the virtual display did not start" >&2
    rm -f "$fdfile"
    return 1
  fi
  export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
  rm -f "$fdfile"
}

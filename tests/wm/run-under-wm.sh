#!/bin/sh
# run-under-wm.sh PROGRAM [ARG...]: runs PROGRAM on a private X server with the openbox window
# manager. Exits 77 (a skipped test) when Xvfb or openbox is missing.
command -v xvfb-run >/dev/null 2>&1 && command -v openbox >/dev/null 2>&1 || {
  echo "run-under-wm: xvfb-run or openbox missing; skipped" >&2
  exit 77
}
exec xvfb-run -a -s "-screen 0 1280x1024x24" sh -c '
  ready=$(mktemp -u)
  openbox --startup "touch $ready" >/dev/null 2>&1 &
  wm=$!
  i=0
  while [ ! -e "$ready" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  rm -f "$ready"
  QT_QPA_PLATFORM=xcb "$@"
  status=$?
  kill $wm 2>/dev/null
  exit $status
' run-under-wm "$@"

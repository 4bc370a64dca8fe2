#!/bin/sh
# Runs a test program on a private Xvfb display (its number chosen by the server) and stops the
# server afterwards. Without Xvfb the program runs with no display at all, and skips.
prog="$1"
shift
if ! command -v Xvfb >/dev/null 2>&1; then
    unset DISPLAY WAYLAND_DISPLAY
    exec "$prog" "$@"
fi
number=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" 2>/dev/null &
server=$!
tries=0
while [ ! -s "$number" ] && [ $tries -lt 100 ] && kill -0 $server 2>/dev/null; do
    sleep 0.1
    tries=$((tries + 1))
done
display=$(cat "$number")
rm -f "$number"
if [ -z "$display" ]; then
    kill $server 2>/dev/null
    echo "RunUnderXvfb: Xvfb did not start" >&2
    exit 1
fi
DISPLAY=":$display" "$prog" "$@"
status=$?
kill $server
wait $server 2>/dev/null
exit $status

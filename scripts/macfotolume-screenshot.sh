#!/bin/sh
# Saves a picture of the MacFotolume window without needing a display: a simulated frame is served,
# the window reads it, a demo picture is composed, added three times and written to the frame, and the
# window is saved.
# Usage: scripts/macfotolume-screenshot.sh [out.png]   (after a build into build/)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs/macfotolume.png}
case $out in /*) ;; *) out=$(pwd)/$out ;; esac
bin=$top/build/bin
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$work"' EXIT INT TERM
mkdir -p "$work/frames" "$work/home"

"$bin/fotolume-sim" create "$work/frame.img" --flash-size 2M --panel 128x160 >/dev/null
"$bin/fotolume-sim" serve "$work/frame.img" --socket "$work/frames/demo.sock" &
sim=$!
for _ in $(seq 50); do [ -S "$work/frames/demo.sock" ] && break; sleep 0.1; done

# A colourful 640 x 480 demo picture (binary PPM), made without any picture tools.
python3 - "$work/demo.ppm" <<'PY'
import math, sys
w, h = 640, 480
px = bytearray()
for y in range(h):
    for x in range(w):
        r = int(128 + 127 * math.sin(x / 60.0))
        g = int(128 + 127 * math.sin(y / 45.0 + 1))
        b = int(128 + 127 * math.sin((x + y) / 80.0 + 2))
        if (x - 400) ** 2 + (y - 200) ** 2 < 90 ** 2:
            r, g, b = 250, 220, 40
        px += bytes((r, g, b))
open(sys.argv[1], "wb").write(b"P6\n%d %d\n255\n" % (w, h) + px)
PY

HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen \
  "$bin/MacFotolume" --frames "$work/frames" --screenshot "$out" --picture "$work/demo.ppm" --adds 3 --download
echo "$out"

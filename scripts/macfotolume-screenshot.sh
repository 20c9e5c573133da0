#!/bin/sh
# Saves a picture of the MacFotolume window without needing a display: a simulated frame is served,
# the window reads it with its file browser on a scratch folder of test pictures, a demo picture is
# picked in the browser, added three times and written to the frame, and the window is saved.
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

# A scratch folder of colourful test pictures (binary PPM), made without any picture tools.
mkdir -p "$work/pictures/more"
python3 - "$work/pictures" <<'PY'
import math, os, sys
def picture(path, w, h, phase, sun):
    px = bytearray()
    for y in range(h):
        for x in range(w):
            r = int(128 + 127 * math.sin(x / 60.0 + phase))
            g = int(128 + 127 * math.sin(y / 45.0 + 1 + phase))
            b = int(128 + 127 * math.sin((x + y) / 80.0 + 2))
            if (x - sun[0]) ** 2 + (y - sun[1]) ** 2 < 90 ** 2:
                r, g, b = 250, 220, 40
            px += bytes((r, g, b))
    open(path, "wb").write(b"P6\n%d %d\n255\n" % (w, h) + px)
folder = sys.argv[1]
picture(os.path.join(folder, "beach.ppm"), 480, 320, 1.5, (120, 90))
picture(os.path.join(folder, "demo.ppm"), 640, 480, 0.0, (400, 200))
picture(os.path.join(folder, "garden.ppm"), 320, 480, 3.0, (160, 300))
picture(os.path.join(folder, "more", "night.ppm"), 400, 300, 4.5, (300, 80))
PY

HOME=$work/home XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen \
  "$bin/MacFotolume" --frames "$work/frames" --browse "$work/pictures" --screenshot "$out" \
  --picture "$work/pictures/demo.ppm" --adds 3 --download
echo "$out"

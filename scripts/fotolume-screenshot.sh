#!/bin/sh
# Saves a picture of the Fotolume window reading the demo frame, laid out for a screen of the given size
# (1280x1024 by default), without needing a display. Usage: scripts/fotolume-screenshot.sh [out.png] [WxH]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
bin=$top/build/bin
out=${1:-$top/docs/fotolume.png}
screen=${2:-1280x1024}
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'kill $sim 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/frames" "$work/cache" "$work/run"
chmod 700 "$work/run"
"$bin/fotolume-sim" create "$work/demo.img" --panel 128x128 --demo 6 >/dev/null
"$bin/fotolume-sim" serve "$work/demo.img" --socket "$work/frames/demo.sock" &
sim=$!
for _ in $(seq 50); do [ -S "$work/frames/demo.sock" ] && break; sleep 0.1; done
# A private cache and runtime folder: the run neither sees nor disturbs a Fotolume the user has open.
XDG_CACHE_HOME="$work/cache" XDG_RUNTIME_DIR="$work/run" QT_QPA_PLATFORM=offscreen \
  "$bin/Fotolume" --frames "$work/frames" --screen-size "$screen" --screenshot "$out"

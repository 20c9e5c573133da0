#!/bin/sh
# Saves a picture of the Fotolume window, laid out for a 1280 x 1024 screen,
# without needing a display. Usage: scripts/fotolume-screenshot.sh [out.png]
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/docs/fotolume.png}
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen "$top/build/bin/Fotolume" --screen-size 1280x1024 --screenshot "$out"

#!/usr/bin/env bash
# The main job on a simulated frame: main-job.sh BUILD_DIR
set -euo pipefail
bin=$(cd "$1/bin" && pwd)
state=${FOTOLUME_DEMO_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/fotolume-demo}
frames="$state/frames"
mkdir -p "$frames"
image="$state/demo-album.img"
# Made once: a 2 MB frame with a 128x128 panel (the common key-chain size) holding six test cards.
[ -f "$image" ] || "$bin/fotolume-sim" create "$image" --panel 128x128 --demo 6
# A socket left by a server that was killed would look like a frame that is ready.
rm -f "$frames/demo.sock"
"$bin/fotolume-sim" serve "$image" --socket "$frames/demo.sock" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -S "$frames/demo.sock" ] && break; sleep 0.1; done
echo "Simulated frame: $image (socket $frames/demo.sock)"
"$bin/fotolume-cli" --frames "$frames" probe
"$bin/fotolume-cli" --frames "$frames" info
"$bin/fotolume-cli" --frames "$frames" list
pulled="$state/pulled"
# The folder is ours: last run's pictures go, so that it shows the album as it is now.
rm -f "$pulled"/[0-9][0-9][0-9][0-9].bmp
"$bin/fotolume-cli" --frames "$frames" pull "$pulled"
ls "$pulled"
echo "Add your own pictures: $bin/fotolume-cli --frames $frames add PICTURE..."
# The window on the same frame. Without a display it draws off screen, waits until the album has been
# read, saves a picture of the window and prints its name.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  "$bin/Fotolume" --frames "$frames"
else
  QT_QPA_PLATFORM=offscreen "$bin/Fotolume" --frames "$frames" --screenshot "$state/fotolume.png"
fi

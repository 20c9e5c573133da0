#!/usr/bin/env bash
# Starts the installed programs as a user would: the command-line programs with --help, the desktop
# programs through the Exec line of their desktop entries on the offscreen platform.
# Usage: start_programs.sh PREFIX   (PREFIX/bin holds the programs, PREFIX/share the rest)
set -euo pipefail
prefix=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
sim=""
trap '[ -n "$sim" ] && kill $sim 2>/dev/null; rm -rf "$scratch"' EXIT
# A private home: the desktop programs write their settings and caches there.
export HOME="$scratch/home" XDG_CACHE_HOME="$scratch/cache" XDG_CONFIG_HOME="$scratch/config" \
       XDG_DATA_HOME="$scratch/data" XDG_RUNTIME_DIR="$scratch/run" QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset FOTOLUME_FRAMES
export PATH="$prefix/bin:$PATH"

for p in fotolume-cli fotolume-sim; do
  [ -x "$prefix/bin/$p" ] || fail "$p is not installed in $prefix/bin"
  "$prefix/bin/$p" --help | grep "$p" >/dev/null || fail "$p --help does not name the program"
done
# The simulator and the command line work together from the install.
"$prefix/bin/fotolume-sim" create "$scratch/frame.img"
mkdir "$scratch/frames"
"$prefix/bin/fotolume-sim" serve "$scratch/frame.img" --socket "$scratch/frames/one.sock" &
sim=$!
for _ in $(seq 100); do [ -S "$scratch/frames/one.sock" ] && break; sleep 0.05; done
info=$("$prefix/bin/fotolume-cli" --frames "$scratch/frames" info) || fail "fotolume-cli info failed"
echo "$info" | grep "^Panel: *128x128" >/dev/null || fail "fotolume-cli info does not show the new frame: $info"
# The desktop programs below open the same simulated frame.
export FOTOLUME_FRAMES="$scratch/frames"

missing=()
for id in org.fotolume.Fotolume org.fotolume.MacFotolume; do
  entry="$prefix/share/applications/$id.desktop"
  if [ ! -f "$entry" ]; then
    missing+=("${id#org.fotolume.}")
    continue
  fi
  exec_line=$(sed -n 's/^Exec=//p' "$entry")
  program=${exec_line%% *}
  [ -x "$prefix/bin/$program" ] || fail "$id.desktop starts $program, which is not installed"
  [ -f "$prefix/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon for $id"
  [ -f "$prefix/share/icons/hicolor/48x48/apps/$id.png" ] || fail "no 48x48 icon for $id"
  [ -f "$prefix/share/metainfo/$id.metainfo.xml" ] || fail "no metainfo for $id"
  # The entry's own command line (field codes dropped), plus a way to end by itself.
  read -r -a argv <<<"$(echo "$exec_line" | sed -E 's/ %[fFuUik]//g')"
  help=$(timeout 60 "${argv[@]}" --help 2>&1) || fail "$program --help failed: $help"
  [ -n "$help" ] || fail "$program --help printed nothing"
  if echo "$help" | grep -- >/dev/null "--screenshot"; then
    # The real window: it reads its installed files, lays itself out and saves a picture.
    timeout 120 "${argv[@]}" --screenshot "$scratch/$program.png" >/dev/null ||
      fail "$program did not start from its desktop entry"
    [ "$(head -c 4 "$scratch/$program.png" | od -An -tx1 | tr -d ' \n')" = 89504e47 ] ||
      fail "$program wrote no window picture"
    echo "$program started from $id.desktop and drew its window"
  else
    echo "$program started from $id.desktop (--help)"
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "not built, so not started: ${missing[*]}"
fi
echo "installed programs start"

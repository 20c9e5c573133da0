#!/usr/bin/env bash
# Desktop entries and AppStream metainfo of the programs that are built, checked with the desktop's own
# validators; each entry names its icon and its metainfo names the entry.
# Usage: check_desktop_files.sh PACKAGING_DIR [PROGRAM...]
set -euo pipefail
dir=$1; shift
fail() { echo "FAIL: $*" >&2; exit 1; }
if ! command -v desktop-file-validate >/dev/null || ! command -v appstreamcli >/dev/null; then
  echo "desktop-file-validate or appstreamcli missing (packages desktop-file-utils, appstream)"
  exit 77
fi
# The entries are checked even for a program that is not built yet: they ship with it.
for id in org.fotolume.Fotolume org.fotolume.MacFotolume; do
  desktop-file-validate "$dir/$id.desktop"
  appstreamcli validate --no-net --explain "$dir/$id.metainfo.xml"
  grep -qx "Icon=$id" "$dir/$id.desktop" || fail "$id.desktop does not name icon $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$dir/$id.metainfo.xml" ||
    fail "$id.metainfo.xml does not launch $id.desktop"
  grep -q "<id>$id</id>" "$dir/$id.metainfo.xml" || fail "$id.metainfo.xml has another id"
  [ -s "$dir/icons/$id.svg" ] || fail "no scalable icon $id.svg"
  file_type=$(head -c 8 "$dir/icons/$id.png" | od -An -tx1 | tr -d ' \n')
  [ "$file_type" = 89504e470d0a1a0a ] || fail "$id.png is not a PNG"
  # Width and height of the PNG's header chunk.
  size=$(od -An -j16 -N8 -tu1 "$dir/icons/$id.png" | awk '{print $3*256+$4 "x" $7*256+$8}')
  [ "$size" = 48x48 ] || fail "$id.png is $size, not 48x48"
done
for program in "$@"; do
  grep -qx "Exec=$program" "$dir/org.fotolume.$program.desktop" || fail "entry of $program does not start it"
done
echo "desktop entries and metainfo valid"

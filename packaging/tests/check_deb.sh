#!/usr/bin/env bash
# CPack's .deb holds the install under /usr with its dependencies named. Installing it for real
# (dpkg -i, start the programs, dpkg -r) happens only as root on CI or when FOTOLUME_DEB_INSTALL=1.
# Usage: check_deb.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v dpkg-deb >/dev/null || { echo "dpkg-deb missing"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
cpack -G DEB -B "$out" --config "$build/CPackConfig.cmake" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; fail "cpack failed"; }
deb=$(ls "$out"/*.deb)
[ "$(echo "$deb" | wc -l)" -eq 1 ] || fail "expected one package, got: $deb"
contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for f in /usr/bin/fotolume-cli /usr/bin/fotolume-sim /usr/share/fotolume/StartInfoUnicode.ini \
         /usr/share/macfotolume/Language.ini /usr/share/man/man1/fotolume-cli.1 \
         /usr/lib/udev/rules.d/60-fotolume-frame.rules /usr/lib/udev/rules.d/70-fotolume-uaccess.rules; do
  echo "$contents" | grep -x "$f" >/dev/null || fail "$f is not in the package"
done
for id in Fotolume MacFotolume; do
  if echo "$contents" | grep -x "/usr/bin/$id" >/dev/null; then
    for f in /usr/share/applications/org.fotolume.$id.desktop /usr/share/metainfo/org.fotolume.$id.metainfo.xml \
             /usr/share/icons/hicolor/scalable/apps/org.fotolume.$id.svg \
             /usr/share/icons/hicolor/48x48/apps/org.fotolume.$id.png; do
      echo "$contents" | grep -x "$f" >/dev/null || fail "$f is not in the package"
    done
  else
    echo "$id is not in this build's package"
  fi
done
echo "$contents" | grep -v -E '^/usr/(bin|share|lib/udev)(/|$)|^/$|^/usr/?$|^/usr/lib/?$' | grep . &&
  fail "the package puts files outside /usr/bin, /usr/share and /usr/lib/udev"
# The postinst applies the udev rules to a frame plugged in before the install: it reloads the rules
# and announces the CD-ROM drives present again, which loads the sg module for a frame (so that its
# /dev/sgN appears) and grants the seat user access. Run here against a stand-in udevadm that logs.
dpkg-deb -e "$deb" "$out/control"
post="$out/control/postinst"
[ -x "$post" ] || fail "the package has no executable postinst"
sh -n "$post" || fail "postinst does not parse"
mkdir "$out/fakebin"
cat >"$out/fakebin/udevadm" <<FAKE
#!/bin/sh
echo "\$*" >>"$out/udevadm.log"
[ "\$1 \$2" != "control --ping" ] || exit "\${PING_STATUS:-0}"
FAKE
chmod +x "$out/fakebin/udevadm"
PATH="$out/fakebin:$PATH" sh "$post" configure || fail "postinst configure failed"
for call in "control --reload-rules" "trigger --action=add --subsystem-match=scsi --attr-match=type=5" \
            "trigger --action=change --subsystem-match=scsi_generic"; do
  grep -x -- "$call" "$out/udevadm.log" >/dev/null || fail "postinst does not run 'udevadm $call'"
done
# Without a running udev (a container, a chroot) it does nothing and the install goes on.
rm "$out/udevadm.log"
PING_STATUS=1 PATH="$out/fakebin:$PATH" sh "$post" configure || fail "postinst fails without udev"
[ "$(cat "$out/udevadm.log")" = "control --ping" ] || fail "postinst triggers without a running udev"

depends=$(dpkg-deb -f "$deb" Depends)
echo "$depends" | grep libc6 >/dev/null || fail "the package names no libc dependency: '$depends'"
if echo "$contents" | grep -x /usr/bin/Fotolume >/dev/null; then
  echo "$depends" | grep libqt6widgets6 >/dev/null || fail "Fotolume ships without its Qt dependency: '$depends'"
fi
echo "package $(basename "$deb"): $(echo "$contents" | grep -c -v '/$') files; Depends: $depends"

if [ "$(id -u)" -ne 0 ] || { [ -z "${CI:-}" ] && [ "${FOTOLUME_DEB_INSTALL:-}" != 1 ]; }; then
  echo "not installing it (needs root and CI=true or FOTOLUME_DEB_INSTALL=1)"
  exit 0
fi
if dpkg-query -W -f='${Status}' fotolume 2>/dev/null | grep 'install ok installed' >/dev/null; then
  fail "a fotolume package is installed already; not replacing it"
fi
dpkg -i "$deb" >/dev/null || { dpkg -r fotolume >/dev/null 2>&1 || true; fail "dpkg -i failed"; }
status=0
bash "$here/start_programs.sh" /usr || status=$?
dpkg -r fotolume >/dev/null || fail "dpkg -r failed"
[ $status -eq 0 ] || fail "the installed programs do not start"
left=$(echo "$contents" | grep -v '/$' | while read -r f; do [ -e "$f" ] && echo "$f"; done || true)
[ -z "$left" ] || fail "dpkg -r left files behind: $left"
echo "installed with dpkg -i, programs started, removed with dpkg -r"

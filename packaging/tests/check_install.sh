#!/usr/bin/env bash
# cmake --install into a fresh prefix puts every file where a Linux desktop looks for it, and the
# installed programs start from there.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
fail() { echo "FAIL: $*" >&2; exit 1; }
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/fotolume-cli bin/fotolume-sim \
         share/fotolume/StartInfoUnicode.ini share/fotolume/LanguageUnicode.ini share/macfotolume/Language.ini \
         share/man/man1/fotolume-cli.1 share/man/man1/fotolume-sim.1 \
         lib/udev/rules.d/60-fotolume-frame.rules lib/udev/rules.d/70-fotolume-uaccess.rules; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
# Nothing of the build's own tools or tests ships.
stray=$(cd "$prefix/bin" && ls | grep -v -x -E 'Fotolume|MacFotolume|fotolume-cli|fotolume-sim' || true)
[ -z "$stray" ] || fail "bin/ holds more than the programs: $stray"
bash "$here/start_programs.sh" "$prefix"

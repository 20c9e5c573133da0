#!/usr/bin/env bash
# The man pages format without warnings and name every command and option the programs' --help names.
# Usage: check_man_pages.sh MAN_DIR FOTOLUME_CLI FOTOLUME_SIM
set -euo pipefail
dir=$1 cli=$2 sim=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v groff >/dev/null || { echo "groff missing"; exit 77; }
for page in "$dir"/*.1; do
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
# Man pages write a minus as \-.
plain() { sed -e 's/\\-/-/g' "$1"; }
commands=$("$cli" --help | sed -n 's/^  \([a-z]\+\) .*/\1/p')
[ -n "$commands" ] || fail "fotolume-cli --help lists no commands"
for c in $commands; do
  plain "$dir/fotolume-cli.1" | grep -E "^\.BI? $c( |$)" >/dev/null || fail "fotolume-cli.1 does not describe '$c'"
done
for o in $("$cli" --help | grep -o -E -- '--[a-z][a-z-]*' | sort -u); do
  plain "$dir/fotolume-cli.1" | grep -- "$o" >/dev/null || fail "fotolume-cli.1 does not name $o"
done
for o in $("$sim" --help | grep -o -E -- '--[a-z][a-z-]*' | sort -u); do
  plain "$dir/fotolume-sim.1" | grep -E -- "$o( |$)" >/dev/null || fail "fotolume-sim.1 does not name $o"
done
for c in create serve; do
  plain "$dir/fotolume-sim.1" | grep -E "^\.BI? $c " >/dev/null || fail "fotolume-sim.1 does not describe '$c'"
done
echo "man pages: $(echo $commands | wc -w) commands of fotolume-cli described"

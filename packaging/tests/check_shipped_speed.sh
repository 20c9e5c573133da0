#!/usr/bin/env bash
# The programs users run are as fast as the benchmarks say: in every build type but Debug, each source
# of the picture codec and of composition is compiled with a Release build's optimisation (-O3 as the
# last optimisation flag), whatever the build type's own flags are.
# Usage: check_shipped_speed.sh BUILD_DIR BUILD_TYPE SOURCE_DIR
set -euo pipefail
build=$1 type=$2 src=$3
fail() { echo "FAIL: $*" >&2; exit 1; }
[ "$type" != Debug ] || { echo "a Debug build is not shipped"; exit 77; }
db="$build/compile_commands.json"
[ -f "$db" ] || fail "no $db"
# One "last optimisation flag<TAB>file" line per compiled source.
flags=$(awk '
  /"command":/ { n = split($0, w, " "); last = ""; for (i = 1; i <= n; ++i) if (w[i] ~ /^-O/) last = w[i] }
  /"file":/    { f = $0; sub(/.*"file": *"/, "", f); sub(/".*/, "", f); print last "\t" f }' "$db")
checked=0
for lib in codec compose; do
  while IFS=$'\t' read -r level file; do
    [ "$level" = -O3 ] || fail "$file is built with ${level:-no -O flag}, not -O3"
    checked=$((checked + 1))
  done < <(echo "$flags" | awk -F'\t' -v dir="$src/src/$lib/" 'index($2, dir) == 1')
done
(( checked >= 10 )) || fail "only $checked codec and composition sources found in $db"
echo "shipped speed: $checked codec and composition sources at -O3 in the $type build"

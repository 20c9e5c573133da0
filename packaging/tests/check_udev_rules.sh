#!/usr/bin/env bash
# The udev rules: the vendor pattern takes the programs' default match text in any case and nothing
# else, the frame mark the first file sets is the one the second file reads, and both run before
# 73-seat-late.rules turns the uaccess tag into access for the seat's user.
# Usage: check_udev_rules.sh RULES_DIR DEFAULT_VENDOR
set -euo pipefail
dir=$1 vendor=$2
fail() { echo "FAIL: $*" >&2; exit 1; }
[ -n "$vendor" ] || fail "no default vendor text given"

tag=$(ls "$dir"/*-fotolume-frame.rules) || fail "no frame rules"
access=$(ls "$dir"/*-fotolume-uaccess.rules) || fail "no uaccess rules"
tagnum=$(basename "$tag" | cut -d- -f1)
accessnum=$(basename "$access" | cut -d- -f1)
(( 10#$tagnum < 10#$accessnum )) || fail "the mark ($tagnum) must come before the uaccess rule ($accessnum)"
(( 10#$accessnum < 73 )) || fail "uaccess set at $accessnum, after 73-seat-late.rules applies it"

# Continued lines joined, comments dropped.
joined() { sed -e ':a' -e '/\\$/N; s/\\\n//; ta' "$1" | grep -v -E '^\s*(#|$)'; }

mapfile -t patterns < <(joined "$tag" | grep -o -E 'ATTRS?\{vendor\}=="[^"]*"' | sed -E 's/.*=="(.*)"/\1/')
[ ${#patterns[@]} -ge 2 ] || fail "expected vendor patterns for the scsi device and its sg node"
upper=${vendor^^}
mixed=${vendor^}
for p in "${patterns[@]}"; do
  # udev matches with shell globs; bash [[ == ]] uses the same ones.
  for v in "$vendor" "$upper" "$mixed" "$upper    " "ACME$upper" "${vendor:0:1}${upper:1}"; do
    [[ $v == $p ]] || fail "pattern '$p' refuses vendor text '$v'"
  done
  for v in "" "GENERIC" "${vendor:0:${#vendor}-1}" "${vendor:1}"; do
    [[ $v == $p ]] && fail "pattern '$p' takes vendor text '$v'"
  done
done

joined "$tag" | grep 'SUBSYSTEM=="scsi_generic".*SUBSYSTEMS=="usb".*ENV{ID_FOTOLUME_FRAME}="1"' >/dev/null ||
  fail "the sg node of a USB drive is not marked"
joined "$tag" | grep 'ATTRS{vendor}' | grep 'ATTRS{type}=="5"' >/dev/null || fail "the sg mark does not ask for a CD-ROM drive"
joined "$access" | grep 'ENV{ID_FOTOLUME_FRAME}!="1", GOTO' >/dev/null || fail "uaccess rules do not test the mark"
joined "$access" | grep 'SUBSYSTEM=="scsi_generic", TAG+="uaccess"' >/dev/null || fail "the sg node is not tagged uaccess"
joined "$access" | grep 'RUN{builtin}+="kmod load sg"' >/dev/null || fail "the sg module is not loaded"
# Without sg there is no scsi_generic device and so no event of one: the module must be loaded on the
# event of the drive's own SCSI device, which the frame mark covers too.
joined "$access" | grep 'RUN{builtin}+="kmod load sg"' | grep 'SUBSYSTEM=="scsi",' |
  grep 'ENV{DEVTYPE}=="scsi_device"' >/dev/null || fail "sg is loaded on another event than the frame's SCSI device"
joined "$tag" | grep 'SUBSYSTEM=="scsi",.*SUBSYSTEMS=="usb".*ENV{ID_FOTOLUME_FRAME}="1"' >/dev/null ||
  fail "the frame's SCSI device is not marked, so the sg module is never loaded for it"
# Every label jumped to exists.
for f in "$tag" "$access"; do
  for l in $(grep -o -E 'GOTO="[^"]+"' "$f" | sed -E 's/GOTO="(.*)"/\1/' | sort -u); do
    grep -q "^LABEL=\"$l\"" "$f" || fail "$(basename "$f"): GOTO $l has no LABEL"
  done
done

if command -v udevadm >/dev/null && udevadm verify --help >/dev/null 2>&1; then
  udevadm verify "$tag" "$access"
fi
echo "udev rules: ${#patterns[@]} vendor patterns checked against '$vendor'"

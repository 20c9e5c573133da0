#!/usr/bin/env bash
# The performance record: builds the benchmarks in the build type users run (the default one, as ./run,
# cmake --install and the package build; build-bench/), runs them and prints one table.
# Usage: bench/run-all.sh [BUILD_DIR]   (the raw benchmark output goes to BUILD_DIR/bench-*.txt)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build-bench}
# An empty build type lets the project choose its default, also in a folder configured otherwise before.
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= -DFOTOLUME_BENCH=ON >/dev/null
type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
cmake --build "$build" -j "$(nproc)" --target benchmarks >/dev/null

# Every benchmark program the build lists, each the same way, bench_NAME's output in bench-NAME.txt; the
# codec once more with libjpeg-turbo's SIMD off, to compare against.
while read -r program; do
  "$build/bin/$program" --benchmark_min_time=0.5 >"$build/bench-${program#bench_}.txt" 2>&1
done <"$build/bench/benchmarks.txt"
JSIMD_FORCENONE=1 "$build/bin/bench_codec" --benchmark_min_time=0.5 >"$build/bench-codec-nosimd.txt" 2>&1
codec_simd="$build/bench-codec.txt"
codec_plain="$build/bench-codec-nosimd.txt"
sync="$build/bench-sync.txt"
write="$build/bench-write.txt"

# "  Encode 320/240   ours X  libjpeg Y  ratio Z" lines of the codec benchmark.
rate() {  # file op size field(ours|libjpeg|ratio)
  awk -v op="$2" -v size="$3" -v f="$4" '$1 == op && $2 == size {
      for (i = 3; i < NF; ++i) if ($i == f) { print $(i + 1); exit } }' "$1"
}
record() { sed -n "s/^record: $1: //p" "$sync"; }
wrote() { sed -n "s/^record: $1: //p" "$write"; }
# What a recovery record adds to the commit named by $1 (sync or small).
records() {
  echo "$(wrote records_$1_commands) commands ($(wrote records_$1_checksums) checksum queries, $(wrote records_$1_reads) reads), $(wrote records_$1_ms) ms modelled device time ($(wrote records_$1_pct) % of $(wrote records_$1_off_s) s), $(wrote records_$1_disk_KB) KB written to disk"
}

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
cores=$(nproc)
echo "Machine: ${cpu:-unknown CPU}, $cores cores; $(date -u +%Y-%m-%d); $type build; load$(uptime | sed 's/.*load average//')"
echo
echo "| What | Result |"
echo "|---|---|"
for op in Encode Decode; do
  for size in 320/240 2000/1500; do
    ours=$(rate "$codec_simd" $op $size ours)
    simd=$(rate "$codec_simd" $op $size libjpeg)
    plain=$(rate "$codec_plain" $op $size libjpeg)
    echo "| $op ${size/\//x}, quality 90, 4:2:0 (megapixels/s) | ours ${ours:-?}; libjpeg-turbo ${simd:-?} with SIMD, ${plain:-?} without (JSIMD_FORCENONE=1) |"
  done
done
echo "| Synchronize 1 MB of new pictures (8 x 128 KB onto a frame holding 10) | $(record sync_commands) commands, $(record sync_erases) block erases, $(record sync_modelled_s) s modelled device time |"
echo "| Host CPU time of that synchronize | $(record sync_cpu_ms_per_mb) ms per MB |"
echo "| A small edit on a 4 KB-erase frame: one 30 KB picture appended to an album of 10, recovery record kept | $(wrote small4k_erases) sector erases, $(wrote small4k_commands) commands, $(wrote small4k_modelled_s) s modelled device time; before sector-by-sector writing 64 sector erases, 594 commands, 4.65 s (measured once, on 5bed2c8) |"
echo "| What a recovery record adds to a commit, against the same commit with records off | 1 MB synchronize (as above): $(records sync); one 30 KB picture appended to an album of 10 on a 64 KB-erase frame: $(records small) |"
echo "| Read an album of 200 pictures ($(record album200_KB) KB, 128x128) from a frame served on a socket that takes the modelled time | $(record album200_read_modelled_s) s modelled device time; on the host $(record album200_read_host_ms) ms wall ($(record album200_read_over_pct) %), $(record album200_read_cpu_ms) ms CPU; from a frame that answers at once $(record album200_read_host_share_ms) ms ($(record album200_read_host_share_pct) % of the device time) |"
echo "| Show those 200 pictures: $(record album200_show_what) | $(record album200_show_ms) ms |"

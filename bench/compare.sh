#!/usr/bin/env bash
# Runs the benchmarks once (Release build, through ./run.sh bench) and prints
# every figure in GB/s (10^9 bytes per second) and as a fraction of
# BM_Memcpy from the same run: of the 1 MiB copy, which stays in cache, and
# of the 8 MiB copy, which goes to memory. Extra arguments go to the
# benchmark program (e.g. --benchmark_filter=Base64). A benchmark's label
# (BM_ParseManyHeaderLines: its peak memory) follows its figures.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
csv=$(./run.sh bench --benchmark_format=csv "$@" 2>/dev/null | grep '^"BM_')
printf '%s\n' "$csv" | awk -F, '
    { gsub(/"/, "", $1); gsub(/"/, "", $8); name[NR] = $1; rate[NR] = $6; label[NR] = $8
      ms[NR] = ($5 == "ns" ? $4 / 1e6 : $5 == "us" ? $4 / 1e3 : $4) }
    $1 == "BM_Memcpy/1048576" { small = $6 }
    $1 == "BM_Memcpy/8388608" { large = $6 }
    END {
        if (small == "" || large == "") { print "BM_Memcpy did not run: its figures are the baseline" > "/dev/stderr"; exit 1 }
        printf "%-36s %10s %10s %12s %12s\n", "benchmark", "ms", "GB/s", "x memcpy1M", "x memcpy8M"
        for (i = 1; i <= NR; ++i) {
            if (rate[i] == "") { printf "%-36s %10.3f %10s\n", name[i], ms[i], "-"; continue }
            printf "%-36s %10.3f %10.2f %12.3f %12.3f%s\n", name[i], ms[i], rate[i] / 1e9, rate[i] / small, rate[i] / large,
                   label[i] == "" ? "" : "  " label[i]
        }
    }'

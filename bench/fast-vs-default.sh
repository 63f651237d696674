#!/usr/bin/env bash
# CPU time of whole inhibra-fit calls over a dozen small data files: the default
# fitting against --fast, each with and without the profile-likelihood limits.
# Program start-up counts. The files are the bundled example with its rates moved by
# a deterministic wobble of up to 3 % (a different one per file).
#
#   bench/fast-vs-default.sh [path/to/inhibra-fit]   (default: build/default/src/cli/inhibra-fit)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$here/build/default/src/cli/inhibra-fit}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=()
for k in $(seq 1 12); do
  awk -v k="$k" '
    /^[ \t]*[0-9]/ { printf "%s %s %.6f\n", $1, $2, $3 * (1 + 0.03 * sin(k * 7.3 + NR * 1.7)); next }
    { exit }' "$here/examples/Data.in" >"$work/set$k.in"
  files+=("$work/set$k.in")
done

# User plus system CPU seconds of one call (with all its threads).
cpu_seconds() {
  /usr/bin/time -f "%U %S" -o "$work/time" "$program" -q -j 1 "$@" "${files[@]}" >/dev/null 2>&1
  awk '{ printf "%.3f", $1 + $2 }' "$work/time"
}

for profiles in "" "--no-profiles"; do
  default=$(cpu_seconds $profiles)
  fast=$(cpu_seconds --fast $profiles)
  awk -v d="$default" -v f="$fast" -v p="${profiles:-with profiles}" 'BEGIN {
    printf "%-16s default %8.3f s   --fast %8.3f s   ratio 1/%.1f\n", p, d, f, d / f }'
done

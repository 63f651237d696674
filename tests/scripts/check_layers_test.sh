#!/usr/bin/env bash
# scripts/check-layers passes on the sources as they are and fails, naming the file,
# the line and the layers, on a copy with one include that runs against the order
# (the data reader including the fit driver) and on a folder with no place in it.
set -euo pipefail
source_dir=$1
check=$source_dir/scripts/check-layers
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$check" "$source_dir/src" >/dev/null

cp -r "$source_dir/src" "$work/src"
sed -i '0,/^#include "data\//s//#include "fit\/ezfit.hpp"\n&/' "$work/src/data/data_file.cpp"
if "$check" "$work/src" 2>"$work/err"; then
  echo "an include of the fit driver from the data reader passed the check" >&2
  exit 1
fi
grep -q 'data/data_file.cpp:[0-9]*: data may not include fit: #include "fit/ezfit.hpp"' \
  "$work/err" || { cat "$work/err" >&2; exit 1; }

rm -rf "$work/src" && cp -r "$source_dir/src" "$work/src" && mkdir "$work/src/extras"
if "$check" "$work/src" 2>"$work/err"; then
  echo "a folder outside the layer order passed the check" >&2
  exit 1
fi
grep -q 'src/extras has no place in the layer order' "$work/err"
echo "check-layers catches a wrong include and an unknown folder"

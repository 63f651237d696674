#!/usr/bin/env bash
# scripts/mutants on a toy project of one source file: a comparison the toy test
# checks (killed), two constants it does not (surviving: 7 -> 8 and 2 -> 3) and a
# compile-time check that the flipped comparison breaks (not compiling). The
# source is byte-identical afterwards, and the replayed sample gives the same counts
# after a line was added above the mutated ones.
set -euo pipefail
source_dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/toy" "$work/tests/toy"
cat >"$work/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(toy CXX)
add_library(toy src/toy/toy.cpp)
add_executable(toy_tests tests/toy/toy_test.cpp)
target_link_libraries(toy_tests PRIVATE toy)
CMAKE
cat >"$work/src/toy/toy.cpp" <<'CPP'
// The larger of two numbers; a number nothing looks at.
static_assert(sizeof(int) >= 2, "int < 2 bytes");
int larger(int a, int b) {
  if (a > b) return a;
  return b;
}
int unused_offset() { return 7; }
CPP
cat >"$work/tests/toy/toy_test.cpp" <<'CPP'
int larger(int a, int b);
int main() { return larger(3, 1) == 3 && larger(1, 3) == 3 ? 0 : 1; }
CPP
cp "$work/src/toy/toy.cpp" "$work/original.cpp"
cmake -S "$work" -B "$work/build" >/dev/null

"$source_dir/scripts/mutants" --root "$work" --build build --count 100 --seed 3 \
  --save "$work/sample.json" src/toy/toy.cpp >"$work/out"
expected='killed 1, surviving 2, not compiling 1; kill rate 33.3 % of 3 that compiled'
grep -qxF "$expected" "$work/out" || { cat "$work/out" >&2; exit 1; }
grep -qF 'src/toy/toy.cpp:7: constant: 7 -> 8' "$work/out" || { cat "$work/out" >&2; exit 1; }
cmp "$work/original.cpp" "$work/src/toy/toy.cpp"

# A line added above the mutated ones: the replay finds them by their text.
{ echo "// A toy."; cat "$work/original.cpp"; } >"$work/src/toy/toy.cpp"
cp "$work/src/toy/toy.cpp" "$work/shifted.cpp"
"$source_dir/scripts/mutants" --root "$work" --build build --replay "$work/sample.json" \
  >"$work/again"
grep -qxF "$expected" "$work/again" || { cat "$work/again" >&2; exit 1; }
cmp "$work/shifted.cpp" "$work/src/toy/toy.cpp"
echo "mutants counts a toy's killed, surviving and broken mutants and restores its source"

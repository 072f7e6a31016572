#!/usr/bin/env bash
# Installs what is needed, then builds and runs every test twice: a normal build (g++) and
# one with AddressSanitizer and UndefinedBehaviorSanitizer (clang++), so that both compilers
# see every file. Fails on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs=$(nproc)
for variant in normal sanitize; do
  dir=build-test-$variant
  flags=(-DCMAKE_BUILD_TYPE=Debug)
  [ "$variant" = sanitize ] && flags+=(-DORVID_SANITIZE=ON -DORVID_BENCH=OFF
                                       -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang)
  echo "== $variant build =="
  cmake -S . -B "$dir" -G Ninja "${flags[@]}"
  cmake --build "$dir" -j "$jobs"
  echo "== $variant tests =="
  # A test that hangs (a modal loop nobody closes) fails after two minutes instead of
  # holding up the whole run.
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 120
done

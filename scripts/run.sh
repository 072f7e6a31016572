#!/usr/bin/env bash
# Installs what is needed, builds the program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVID_TESTS=OFF -DORVID_BENCH=OFF
cmake --build build --target orvid
exec ./build/src/orvid "$@"

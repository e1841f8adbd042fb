#!/usr/bin/env bash
# Installs what is missing, builds vxdown and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVX_BUILD_TESTS=OFF -DVX_BUILD_BENCH=OFF
cmake --build build -j2 --target vxdown
exec build/bin/vxdown "$@"

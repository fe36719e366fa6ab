#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs
# every test through ctest. Exits non-zero on any failure or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFLOATBENCH_SANITIZE=ON >/dev/null
cmake --build build/asan
cd build/asan
ctest --output-on-failure --no-tests=error -j "$(nproc)"

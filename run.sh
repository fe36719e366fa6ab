#!/usr/bin/env bash
# Installs what is missing, makes a release build and starts FloatBench.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DFLOATBENCH_TESTS=OFF >/dev/null
cmake --build build/release --target floatbench
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  if cmake --build build/release --target tour >/dev/null 2>&1; then
    echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set): running the headless tour."
    exec build/release/tools/tour
  fi
  echo "There is no display here (neither DISPLAY nor WAYLAND_DISPLAY is set), so FloatBench cannot open its window."
  echo "Start it on a desktop, or under a virtual display: xvfb-run -a build/release/app/floatbench"
  exit 0
fi
exec build/release/app/floatbench

#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test twice: once with AddressSanitizer and
# UndefinedBehaviorSanitizer (build/asan), once as a plain optimised build with the standard
# library's own checks (build/release-tests). A test that passes in only one of them depends on the
# build, not on the code, so both must pass. Exits non-zero on any failure or sanitizer report.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true  # reuse objects built in other checkouts

run_suite() {
  local dir=$1
  shift
  echo "== $dir: configure and build the tests"
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" --target floatbench_tests
  echo "== $dir: run the tests"
  (cd "$dir" && ctest --output-on-failure --no-tests=error -j "$(nproc)")
}

run_suite build/asan -DCMAKE_BUILD_TYPE=Debug -DFLOATBENCH_SANITIZE=ON
run_suite build/release-tests -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG -D_GLIBCXX_ASSERTIONS" \
  "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG"
echo "All tests passed in both configurations."

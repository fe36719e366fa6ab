#!/usr/bin/env bash
# The component layer as other programmers get it. It installs the build's `dev` component (what
# libfloatbench-dev holds) into a scratch prefix and checks what is there: the libraries, the
# public headers without the internal ones, no library of the model's forms. Then it builds the
# harbour example as an outside project, from a copy of its sources in a scratch folder, against
# the prefix alone: once with find_package(FloatBench) and once with pkg-config and the compiler
# by hand. Both programs sail the harbour offscreen and must report that the scene ran. Last, a
# project that adds the checkout with add_subdirectory must get no install rules and no packages
# of ours.
#
#   outside_project.sh <cmake> <c++ compiler> <build-dir> <source-dir> <version> [compile flags]
set -euo pipefail
cmake=$1 cxx=$2 build=$3 source=$4 version=$5 flags=${6:-}

fail() { echo "FAIL: $*" >&2; exit 1; }
command -v pkg-config >/dev/null || fail "pkg-config is missing (package pkg-config, see tools/install-deps.sh)"
command -v ninja >/dev/null || fail "ninja is missing (package ninja-build, see tools/install-deps.sh)"

root=$(mktemp -d "${TMPDIR:-/tmp}/floatbench-outside.XXXXXX")
trap 'rm -rf "$root"' EXIT
prefix=$root/prefix
export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

"$cmake" --install "$build" --prefix "$prefix" --component dev >/dev/null

# --- What the prefix holds -----------------------------------------------------------------------
inc=$prefix/include/floatbench
[ -f "$inc/dx/DXDraws.h" ] || fail "no dx/DXDraws.h below include/floatbench"
[ -f "$inc/framework/Forms.h" ] || fail "no framework/Forms.h below include/floatbench"
config=$(find "$prefix" -name FloatBenchConfig.cmake)
[ -n "$config" ] || fail "no FloatBenchConfig.cmake"
[ -f "$(dirname "$config")/FloatBenchConfigVersion.cmake" ] || fail "no FloatBenchConfigVersion.cmake"
pc=$(find "$prefix" -name floatbench.pc)
[ -n "$pc" ] || fail "no floatbench.pc"
mapfile -t libs < <(find "$prefix" -name 'libfloatbench-*.a' | sort)
[ ${#libs[@]} -ge 3 ] || fail "expected the dx, framework and platform libraries, found: ${libs[*]##*/}"

internal=$(cd "$inc" && find . -name '*Internal.h' -o -name '*Testing.h' | sort)
[ -z "$internal" ] || fail "internal or testing headers installed: $internal"
[ -z "$(find "$prefix" -path '*forms*')" ] || fail "the model's forms are installed: $(find "$prefix" -path '*forms*')"
for lib in "${libs[@]}"; do
  if nm -C --defined-only "$lib" 2>/dev/null | grep -q ' forms::'; then
    fail "${lib##*/} carries the model's forms"
  fi
done
# Installed headers are for programs that see neither Qt nor SDL nor libjpeg.
leaks=$(grep -rlE '#include *[<"](Q[A-Za-z]+|SDL2?/|SDL\.h|jpeglib\.h)' "$inc" || true)
[ -z "$leaks" ] || fail "installed headers include Qt, SDL or libjpeg: ${leaks//$inc\//}"
# Every installed header compiles with the prefix as the only include path of ours: none of them
# reaches for a header that stayed behind.
all=$root/all_headers.cpp
(cd "$inc" && find . -name '*.h' | sort | sed 's|^\./|#include "|; s|$|"|') >"$all"
# shellcheck disable=SC2086
"$cxx" -std=c++20 -fsyntax-only $flags -I"$inc" "$all" || fail "the installed headers do not compile on their own"

# --- The outside project ----------------------------------------------------------------------
src=$root/src
mkdir -p "$src/examples"
cp -r "$source/examples/harbour" "$src/examples/"
cp "$source/tests/install/outside/CMakeLists.txt" "$src/"

sail() {
  local exe=$1 how=$2 out
  out=$("$exe" --frames 1250 2>&1) || { echo "$out"; fail "the harbour built with $how did not sail"; }
  echo "$how: ${out//$'\n'/; }"
}

"$cmake" -S "$src" -B "$root/with-cmake" -G Ninja "${launcher[@]}" \
  -DCMAKE_CXX_COMPILER="$cxx" "-DCMAKE_CXX_FLAGS=-O1 $flags" \
  -DCMAKE_PREFIX_PATH="$prefix" -DFLOATBENCH_VERSION="$version" >"$root/cmake.log" 2>&1 ||
  { cat "$root/cmake.log"; fail "find_package(FloatBench) failed"; }
"$cmake" --build "$root/with-cmake" >"$root/cmake-build.log" 2>&1 ||
  { cat "$root/cmake-build.log"; fail "the outside project does not build with find_package"; }
sail "$root/with-cmake/harbour" find_package

export PKG_CONFIG_PATH=$(dirname "$pc")
[ "$(pkg-config --modversion floatbench)" = "$version" ] || fail "pkg-config says version $(pkg-config --modversion floatbench)"
[[ "$(pkg-config --cflags floatbench)" == *"-I$inc"* ]] || fail "pkg-config's flags miss $inc"
cc=("$cxx")
command -v ccache >/dev/null && cc=(ccache "$cxx")
# shellcheck disable=SC2046,SC2086
"${cc[@]}" -std=c++20 -O1 $flags -I"$src" $(pkg-config --cflags floatbench) "$src"/examples/harbour/*.cpp \
  $(pkg-config --libs floatbench) -o "$root/harbour-pc" >"$root/pc-build.log" 2>&1 ||
  { cat "$root/pc-build.log"; fail "the outside project does not build with pkg-config"; }
sail "$root/harbour-pc" pkg-config

# --- add_subdirectory ----------------------------------------------------------------------------
"$cmake" -S "$source/tests/install/subproject" -B "$root/outer" -G Ninja -DFLOATBENCH_SOURCE="$source" \
  -DFLOATBENCH_TESTS=OFF -DCMAKE_CXX_COMPILER="$cxx" >"$root/outer.log" 2>&1 ||
  { cat "$root/outer.log"; fail "the checkout does not configure as a subproject"; }
[ ! -e "$root/outer/CPackConfig.cmake" ] || fail "a project with the checkout as subproject gets our packages"
# Nothing is built, so any install rule of ours would fail or install something.
"$cmake" --install "$root/outer" --prefix "$root/outer-prefix" >/dev/null 2>&1 ||
  fail "a project with the checkout as subproject gets our install rules"
[ -z "$(find "$root/outer-prefix" -type f 2>/dev/null)" ] || fail "a project with the checkout as subproject installs our files"
echo "outside project built and sailed with find_package and with pkg-config"

#!/usr/bin/env bash
# Our blits, frames and mixer beside SDL2's software blitter and SDL2_mixer, measured in the same
# programs on the same data. Each benchmark program runs ROUNDS times, the programs taking turns,
# so a slow spell of a noisy machine falls on both sides; the table gives, per case, the ratio of
# our time to the peer's (below 1: we are faster) as the median and the range over the rounds.
# Where the peer has two ways (SDL2 with and without RLE-accelerated colour keys), each round
# takes the faster. The table begins with the processor it was measured on.
#
#   bench/compare.sh [ROUNDS]        (default 3; results and raw JSON in build/bench/compare/)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-3}
tools/install-deps.sh
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=true
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DFLOATBENCH_BENCH=ON \
  -DFLOATBENCH_TESTS=OFF >/dev/null
programs=(blit sprite scene dib mixer)
cmake --build build/bench --target "${programs[@]/#/bench_}"
out=build/bench/compare
rm -rf "$out" && mkdir -p "$out"
model=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
mhz=$(sed -n 's/^cpu MHz[[:space:]]*: \([0-9]*\).*/\1/p' /proc/cpuinfo | head -n 1)
# A virtual machine may give the model only as its maker's line ("AMD EPYC"): the family and
# model numbers tell its generations apart.
family=$(sed -n 's/^cpu family[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
number=$(sed -n 's/^model[[:space:]]*: //p' /proc/cpuinfo | head -n 1)
echo "${model:-an unnamed processor} (${family:+family $family, model $number, }${mhz:+$mhz MHz, }$(nproc --all) cores)" \
  >"$out/machine.txt"
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
for ((r = 1; r <= rounds; ++r)); do
  # Turn the order round each time as well.
  if ((r % 2)); then order=("${programs[@]}"); else order=($(printf '%s\n' "${programs[@]}" | tac)); fi
  for p in "${order[@]}"; do
    echo "== round $r/$rounds: bench_$p"
    build/bench/bench/bench_$p --benchmark_format=json --benchmark_out="$out/$p-$r.json" \
      --benchmark_out_format=json >/dev/null
  done
done
python3 bench/compare.py "$out" | tee "$out/table.md"

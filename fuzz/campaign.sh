#!/usr/bin/env bash
# A fuzzing campaign over the readers of outside data.
#
#   fuzz/campaign.sh BUILD_DIR SECONDS [target ...]
#
# BUILD_DIR is a libFuzzer build:
#   CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
#     -DFLOATBENCH_FUZZ=ON -DFLOATBENCH_TESTS=OFF
#   cmake --build build/fuzz
# Each target runs SECONDS seconds from a scratch copy of its committed corpus. Afterwards the
# inputs that reach code the committed corpus does not are merged into fuzz/corpus/<target>/ by
# greedy set cover over edges (not hit counts), so the corpus grows only by inputs that reach new
# code. Crashes are left as crash-* files in the scratch folder and make the campaign fail. One
# line per target goes to the summary: start and end coverage (edges), features, executions and
# the corpus growth.
set -uo pipefail
cd "$(dirname "$0")/.."
export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
build=${1:?build dir}
seconds=${2:?seconds per target}
shift 2
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*.cpp; do targets+=("$(basename "${f%.cpp}")"); done
fi

work=$(mktemp -d /tmp/fuzz-campaign.XXXXXX)
summary=$work/summary.txt
printf '%-18s %8s %8s %8s %8s %12s %6s %6s %s\n' target seconds cov0 cov ft execs files0 files crashes \
  | tee "$summary"
failed=0
for t in "${targets[@]}"; do
  exe=$build/fuzz/fuzz_$t
  corpus=fuzz/corpus/$t
  [ -x "$exe" ] || { echo "$t: no $exe"; failed=1; continue; }
  mkdir -p "$work/$t/run" "$work/$t/artifacts" "$work/$t/min"
  cp "$corpus"/* "$work/$t/run/" 2>/dev/null
  start=$("$exe" -runs=0 "$corpus" 2>&1 | grep -o 'cov: [0-9]*' | tail -1 | cut -d' ' -f2)
  "$exe" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$work/$t/artifacts/" "$work/$t/run" >"$work/$t/log.txt" 2>&1
  cov=$(grep -o 'cov: [0-9]*' "$work/$t/log.txt" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$work/$t/log.txt" | tail -1 | cut -d' ' -f2)
  execs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$work/$t/log.txt" | cut -d' ' -f2)
  crashes=$(ls "$work/$t/artifacts" | wc -l)
  files0=$(ls "$corpus" | wc -l)
  "$exe" -set_cover_merge=1 -use_counters=0 "$corpus" "$work/$t/run" >"$work/$t/merge.txt" 2>&1
  files=$(ls "$corpus" | wc -l)
  [ "$crashes" -eq 0 ] || failed=1
  printf '%-18s %8s %8s %8s %8s %12s %6s %6s %s\n' "$t" "$seconds" "$start" "$cov" "$ft" "$execs" \
    "$files0" "$files" "$crashes" | tee -a "$summary"
done
echo "logs and any crash inputs: $work"
exit $failed

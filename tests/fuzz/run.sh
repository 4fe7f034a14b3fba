#!/usr/bin/env bash
# Runs the fuzz targets, each for SECONDS:
#   tests/fuzz/run.sh SECONDS [TARGET...]      (all targets when none is named)
# The normal build makes them in build/fuzz when clang is present. Each run
# starts from the target's own seeds plus the generated assets, after the
# inputs kept in tests/fuzz/regressions/TARGET/ are replayed. A failing input
# is left in build/fuzz/work/TARGET/artifacts/ and the run exits non-zero.
# Environment: FLINGO_BUILD (build folder, default ./build), FLINGO_FUZZ_SEED
# (fixed libFuzzer seed; random when unset), FLINGO_FUZZ_JOBS (targets run
# at once, default 1), FLINGO_FUZZ_KEEP=1 (keep each corpus for the next run).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${FLINGO_BUILD:-$here/../../build}
seconds=${1:?usage: tests/fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for bin in "$build"/fuzz/fuzz_*; do
    [ -x "$bin" ] && targets+=("${bin##*/fuzz_}")
  done
fi
[ "${#targets[@]}" -gt 0 ] || { echo "no fuzz targets in $build/fuzz (is clang installed?)"; exit 1; }

run_one() {
  local t=$1 bin="$build/fuzz/fuzz_$1" work="$build/fuzz/work/$1"
  [ -x "$bin" ] || { echo "fuzz_$t: not built"; return 1; }
  rm -rf "$work/seeds" "$work/artifacts"
  [ "${FLINGO_FUZZ_KEEP:-0}" = 1 ] || rm -rf "$work/corpus"
  mkdir -p "$work/corpus" "$work/artifacts"
  FLINGO_FUZZ_SEEDS="$work/seeds" FLINGO_FUZZ_FILES="$build/Files" "$bin" >/dev/null
  local kept=("$here/regressions/$t"/*)
  if [ -e "${kept[0]}" ] && ! "$bin" -timeout=10 "${kept[@]}" >"$work/log" 2>&1; then
    tail -n 40 "$work/log"; echo "fuzz_$t: a kept regression input fails"; return 1
  fi
  local opts=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
              -artifact_prefix="$work/artifacts/")
  [ -n "${FLINGO_FUZZ_SEED:-}" ] && opts+=(-seed="$FLINGO_FUZZ_SEED")
  if ! "$bin" "${opts[@]}" "$work/corpus" "$work/seeds" >"$work/log" 2>&1; then
    tail -n 60 "$work/log"; echo "fuzz_$t: FAILED; input kept in $work/artifacts/"; return 1
  fi
  local runs cov
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
  cov=$(grep -o 'cov: [0-9]*' "$work/log" | tail -n 1)
  echo "fuzz_$t: $runs runs in $seconds s, $cov, corpus $(ls "$work/corpus" | wc -l) inputs"
}

jobs=${FLINGO_FUZZ_JOBS:-1}
failed=0
running=0
for t in "${targets[@]}"; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || failed=1
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
while [ "$running" -gt 0 ]; do
  wait -n || failed=1
  running=$((running - 1))
done
exit "$failed"

#!/usr/bin/env bash
# Usage: tests/fuzz/run.sh BUILD SECONDS TARGET...
# Runs each libFuzzer target for SECONDS from its seed corpus
# (tests/fuzz/corpus/TARGET) and what earlier runs found (BUILD/corpus/TARGET),
# and prints one line a target: executions, executions per second, outcome.
# A crash, a hang (10 s) or a leak fails the run and keeps its reproducer in
# BUILD/crashes/TARGET/; each target's output stays in BUILD/fuzz-TARGET.log.
set -u
build=$1 seconds=$2
shift 2
failed=()
final_stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -1; }
printf '%-24s %12s %10s  %s\n' target executions exec/s outcome
for target in "$@"; do
  corpus=$build/corpus/$target crashes=$build/crashes/$target log=$build/fuzz-$target.log
  mkdir -p "$corpus" "$crashes"
  outcome=clean
  if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "tests/fuzz/corpus/$target" \
      >"$log" 2>&1; then
    outcome="FAILED, reproducer: $(ls -d "$crashes"/* 2>/dev/null | tr '\n' ' ')"
    failed+=("$target")
  fi
  printf '%-24s %12s %10s  %s\n' "$target" "$(final_stat number_of_executed_units "$log")" \
    "$(final_stat average_exec_per_sec "$log")" "$outcome"
done
for target in "${failed[@]}"; do
  echo "--- $target (rerun: $build/tests/fuzz/fuzz_$target REPRODUCER)"
  grep -v '^#\|^INFO\|^stat::' "$build/fuzz-$target.log" | tail -n 40
done
[ ${#failed[@]} -eq 0 ]

#!/usr/bin/env bash
# Runs every fuzz target of a built fuzz tree for RUNS executions each, from
# its seeds (tests/fuzz/seeds/<target>) and the corpus it grew before
# (<tree>/corpus/<target>), and prints executions, seconds and coverage per
# target. Fails when any target crashes, leaks, times out or draws a
# sanitizer report; the input is then in <tree>/artifacts/.
#   usage: run.sh TREE RUNS [TARGET...]
set -uo pipefail
tree=$1
runs=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(config_reader conditions_reader rule_file text_writers)

mkdir -p "$tree/corpus" "$tree/artifacts" "$tree/logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

rows=()
failed=()
for t in "${targets[@]}"; do
  corpus=$tree/corpus/$t
  log=$tree/logs/$t.log
  mkdir -p "$corpus"
  dict=()
  [ -f "$here/dicts/$t.dict" ] && dict=(-dict="$here/dicts/$t.dict")
  echo "fuzz: $t, $runs executions" >&2
  "$tree/tests/fuzz/fuzz_$t" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$tree/artifacts/$t-" "${dict[@]}" \
      "$corpus" "$here/seeds/$t" >"$log" 2>&1
  rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  secs=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log" | tail -1)
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  corp=$(ls "$corpus" | wc -l)
  rows+=("$(printf '%-18s %10s %8s %9s %9s %7s' "$t" "${execs:--}" "${secs:--}" "${cov:--}" "${ft:--}" "$corp")")
  if [ $rc -ne 0 ] || grep -q -E 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:|fuzz check failed' "$log"; then
    failed+=("$t")
    echo "---- $t failed (exit $rc); the end of $log:" >&2
    tail -40 "$log" >&2
    ls "$tree/artifacts/$t-"* 2>/dev/null >&2
  fi
done

printf '%-18s %10s %8s %9s %9s %7s\n' target executions seconds "cov edges" features corpus
printf '%s\n' "${rows[@]}"
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: all ${#targets[@]} targets clean"

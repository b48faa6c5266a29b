#!/usr/bin/env bash
# Runs every fuzz target long: by default ten million executions each,
# shared by two workers (EK_FUZZ_WORKERS). An input that runs longer than
# EK_FUZZ_TIMEOUT seconds (60: a loaded machine stalls a worker for seconds)
# counts as a hang; inputs grow to EK_FUZZ_MAX_LEN bytes (4096); with
# EK_FUZZ_SECONDS a target stops after that many seconds even short of its
# executions (a shared machine has a deadline). Prints, per
# target, the executions, the time and the crashes; the inputs that crash
# stay in build/fuzz-long/w<N>/<target>/ and the logs beside them.
#
#   bash scripts/fuzz.sh [EXECUTIONS] [TARGET...]
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(bash "$root/scripts/configure.sh")" || exit 1
cmake --build "$build" --target fuzz_targets >&2 || exit 1
runs="${1:-10000000}"
shift || true
workers="${EK_FUZZ_WORKERS:-2}"
work="$build/fuzz-long"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in "$root"/tests/fuzz/*_fuzz.cpp; do
    name="$(basename "$src" .cpp)"
    targets+=("${name%_fuzz}")
  done
fi
status=0
printf '%-16s %12s %9s %8s %s\n' target executions seconds crashes result
for name in "${targets[@]}"; do
  start=$(date +%s)
  pids=()
  for w in $(seq 1 "$workers"); do
    mkdir -p "$work/w$w"
    # Each worker its own seed, so that they explore differently.
    "$root/tests/fuzz/run.sh" "$build/fuzz/${name}_fuzz" "$name" "$work/w$w" $(( (runs + workers - 1) / workers )) \
      -seed="$w$RANDOM" -timeout="${EK_FUZZ_TIMEOUT:-60}" -max_len="${EK_FUZZ_MAX_LEN:-4096}" \
      ${EK_FUZZ_SECONDS:+-max_total_time="$EK_FUZZ_SECONDS"} \
      >"$work/w$w/$name.log" 2>&1 &
    pids+=($!)
  done
  failed=0
  for pid in "${pids[@]}"; do wait "$pid" || failed=1; done
  seconds=$(( $(date +%s) - start ))
  executed=0
  for w in $(seq 1 "$workers"); do
    n=$(grep -a -o 'stat::number_of_executed_units: [0-9]*' "$work/w$w/$name.log" | awk '{print $2}' | tail -1)
    executed=$(( executed + ${n:-0} ))
  done
  crashes=$(ls "$work"/w*/"$name"/{crash,leak,timeout,oom}-* 2>/dev/null | wc -l)
  result=ok
  if [ $failed -ne 0 ] || [ "$crashes" -ne 0 ]; then result="FAILED (logs: $work/w*/$name.log)"; status=1; fi
  printf '%-16s %12s %9s %8s %s\n' "$name" "$executed" "$seconds" "$crashes" "$result"
done
exit $status

#!/usr/bin/env bash
# Runs one fuzz target on a scratch copy of its corpus, so that the inputs it
# finds never change the seeds in the repository.
#
#   run.sh TARGET_BINARY NAME WORK_DIR LIMIT [libFuzzer options...]
#
# LIMIT is "Ns" (seconds) or a number of executions. A crash, a sanitizer
# report or a failed property ends with a non-zero code and leaves the input
# as WORK_DIR/NAME/crash-*.
set -euo pipefail
binary="$1" name="$2" work="$3" limit="$4"
shift 4
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
seeds="$here/corpus/$name"
scratch="$work/$name"
rm -rf "$scratch/corpus"
mkdir -p "$scratch/corpus"
args=(-artifact_prefix="$scratch/" -print_final_stats=1 -timeout=30 -rss_limit_mb=2048)
case "$limit" in
  *s) args+=(-max_total_time="${limit%s}") ;;
  *) args+=(-runs="$limit") ;;
esac
[ -f "$here/dict/$name.dict" ] && args+=(-dict="$here/dict/$name.dict")
# New inputs go to the scratch folder, the first one named.
exec "$binary" "${args[@]}" "$@" "$scratch/corpus" "$seeds"

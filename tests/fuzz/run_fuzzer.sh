#!/usr/bin/env bash
# Runs one fuzz target.
#   run_fuzzer.sh replay FUZZER CORPUS
#     runs every input of CORPUS once (the seeds and the regression inputs).
#   run_fuzzer.sh explore FUZZER CORPUS WORK CRASHES SECONDS
#     fuzzes for SECONDS from CORPUS (left untouched); new inputs go to WORK,
#     a crashing input is kept in CRASHES. Ends non-zero on a crash.
set -uo pipefail
mode=$1 fuzzer=$2 corpus=$3

# The targets decode text in the environment's locale; UTF-8 is the case
# that can misbehave. Leaks count as failures.
export LANG=en_US.UTF-8 LC_ALL=
export ASAN_OPTIONS="${ASAN_OPTIONS:-}:detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-}:print_stacktrace=1:halt_on_error=1"

case $mode in
  replay)
    shopt -s nullglob
    inputs=("$corpus"/*)
    [ ${#inputs[@]} -gt 0 ] || { echo "run_fuzzer: $corpus holds no inputs"; exit 1; }
    exec "$fuzzer" -timeout=30 "${inputs[@]}"
    ;;
  explore)
    work=$4 crashes=$5 seconds=$6
    mkdir -p "$work" "$crashes"
    exec "$fuzzer" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$crashes/" "$work" "$corpus"
    ;;
  *)
    echo "usage: run_fuzzer.sh replay FUZZER CORPUS | explore FUZZER CORPUS WORK CRASHES SECONDS"
    exit 2
    ;;
esac

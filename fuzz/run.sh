#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz preset) and fuzzes one of them for SECONDS (default 600):
#   fuzz/run.sh fuzz_iff|fuzz_strings|fuzz_codec|fuzz_far|fuzz_tmx [SECONDS] [extra libFuzzer flags...]
# The growing corpus stays in build-fuzz/corpus/TARGET, crashes go to build-fuzz/artifacts/;
# copy a crash into fuzz/seeds/TARGET/ once it is fixed, so the replay tests keep it.
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: fuzz/run.sh TARGET [SECONDS] [FLAGS...]}
seconds=${2:-600}
shift $(( $# >= 2 ? 2 : 1 ))
cmake --preset fuzz > /dev/null
cmake --build --preset fuzz
mkdir -p "build-fuzz/corpus/$target" build-fuzz/artifacts
dict=
case $target in
  fuzz_iff) dict=-dict=fuzz/iff.dict ;;
  fuzz_strings) dict=-dict=fuzz/strings.dict ;;
  fuzz_tmx) dict=-dict=fuzz/tmx.dict ;;
esac
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# No single allocation may come near 64 MB: inputs are a few kilobytes, so one that large means a
# length from the input was trusted.
exec "build-fuzz/fuzz/$target" -max_total_time="$seconds" -timeout=20 -malloc_limit_mb=64 \
  -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=build-fuzz/artifacts/"$target"- \
  $dict "$@" "build-fuzz/corpus/$target" "fuzz/seeds/$target"

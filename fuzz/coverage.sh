#!/usr/bin/env bash
# Line and branch coverage of iff/ and strings/ by the fuzz targets' replay programs, built with
# clang's source-based coverage (coverage preset, build-cov/):
#   fuzz/coverage.sh            the committed seeds and, when present, the fuzzing corpus
#   fuzz/coverage.sh --seeds    the committed seeds only
# Prints llvm-cov's report; build-cov/coverage/ gets the per-line listing of both folders.
set -euo pipefail
cd "$(dirname "$0")/.."
seedsOnly=false
[ "${1:-}" = --seeds ] && seedsOnly=true
cmake --preset coverage > /dev/null
cmake --build --preset coverage
rm -rf build-cov/profiles && mkdir -p build-cov/profiles build-cov/coverage
targets=(fuzz_iff fuzz_strings fuzz_codec fuzz_far)
for target in "${targets[@]}"; do
  inputs=("fuzz/seeds/$target")
  if ! $seedsOnly && [ -d "build-fuzz/corpus/$target" ]; then
    inputs+=("build-fuzz/corpus/$target")
  fi
  LLVM_PROFILE_FILE="build-cov/profiles/$target.profraw" "build-cov/fuzz/$target" "${inputs[@]}"
done
llvm-profdata merge -sparse -o build-cov/fuzz.profdata build-cov/profiles/*.profraw
objects=(build-cov/fuzz/fuzz_iff -object build-cov/fuzz/fuzz_strings -object build-cov/fuzz/fuzz_codec
  -object build-cov/fuzz/fuzz_far)
sources=("$PWD/iff" "$PWD/strings" "$PWD/far")
llvm-cov report "${objects[@]}" -instr-profile=build-cov/fuzz.profdata "${sources[@]}"
llvm-cov show "${objects[@]}" -instr-profile=build-cov/fuzz.profdata -show-branches=count \
  -show-line-counts-or-regions "${sources[@]}" > build-cov/coverage/iff-strings.txt
echo "per-line listing: build-cov/coverage/iff-strings.txt"

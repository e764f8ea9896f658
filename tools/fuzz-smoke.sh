#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each briefly from its regression inputs.
# A crash, leak or sanitizer report fails the run; the input that caused it is kept in the
# target's folder under build-fuzz/found/ for a regression case.
set -euo pipefail
seconds=${FUZZ_SECONDS:-15}
build=${FUZZ_BUILD:-build-fuzz}
targets=(inflate unshrink unreduce explode directory)
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_FUZZ=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"
for t in "${targets[@]}"; do
  work="$build/found/$t"
  rm -rf "$work/corpus" && mkdir -p "$work/corpus"
  echo "fuzz_$t: ${seconds}s"
  (cd "$work" && "$OLDPWD/$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=65536 \
      -print_final_stats=0 corpus "$OLDPWD/tests/fuzz/regressions/$t" 2>fuzz.log) \
    || { tail -40 "$work/fuzz.log"; echo "fuzz_$t found a fault"; exit 1; }
done
echo "fuzz targets: no faults found"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each briefly from its regression inputs,
# and from seeds made of the shared test archives when ../shared is there: the decoders get
# the compressed data of the archives' entries (written by a replay build of the same
# targets), the directory and listing targets the archives themselves.
# A crash, leak or sanitizer report fails the run; the input that caused it is kept in the
# target's folder under build-fuzz/found/ for a regression case.
set -euo pipefail
seconds=${FUZZ_SECONDS:-15}
build=${FUZZ_BUILD:-build-fuzz}
jobs=${FUZZ_JOBS:-$(nproc)}
targets=(inflate unshrink unreduce explode directory listing)
decoders=(inflate unshrink unreduce explode)
testdata=../shared/testdata
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVIK_FUZZ=ON >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

# The archives each decoder's seeds come from (as in tests/fuzz/CMakeLists.txt).
declare -A seed_sources=(
  [inflate]="$testdata/deflate $testdata/old-methods/d2a-HWREDUCE.ZIP"
  [unshrink]="$testdata/old-methods" [unreduce]="$testdata/old-methods" [explode]="$testdata/old-methods")
have_testdata=0
if [ -d "$testdata" ]; then
  have_testdata=1
  replay="$build/replay"
  cmake -S . -B "$replay" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$replay" -j "$jobs" --target "${decoders[@]/#/fuzz_}"
else
  echo "no $testdata: fuzzing from the regression inputs only"
fi

for t in "${targets[@]}"; do
  work="$build/found/$t"
  rm -rf "$work/corpus" "$work/seeds" && mkdir -p "$work/corpus"
  inputs=("$PWD/tests/fuzz/regressions/$t")
  if [ "$have_testdata" = 1 ]; then
    if [ "$t" = directory ] || [ "$t" = listing ]; then
      inputs+=("$(cd "$testdata" && pwd)")
    else
      # shellcheck disable=SC2086  # the sources are a list of paths
      "$replay/tests/fuzz/fuzz_$t" --write-seeds "$work/seeds" ${seed_sources[$t]} >/dev/null
      inputs+=("$PWD/$work/seeds")
    fi
  fi
  echo "fuzz_$t: ${seconds}s"
  (cd "$work" && "$OLDPWD/$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=65536 \
      -print_final_stats=0 corpus "${inputs[@]}" 2>fuzz.log) \
    || { tail -40 "$work/fuzz.log"; echo "fuzz_$t found a fault"; exit 1; }
done
echo "fuzz targets: no faults found"

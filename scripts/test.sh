#!/usr/bin/env bash
# The whole test suite: sanitizer jobs first, then every test of the release
# build through CTest (unit, host, LV2, command-line and model checks).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

fuzz_seconds="${ORVO_FUZZ_SECONDS:-60}"
jobs="$(nproc)"

echo "== ThreadSanitizer: the processor's unit tests, generation against playback among them"
tsan="-fsanitize=thread"
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVO_SANITIZER_BUILD=OFF \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
      -DCMAKE_C_FLAGS="$tsan" -DCMAKE_CXX_FLAGS="$tsan" -DCMAKE_EXE_LINKER_FLAGS="$tsan" \
      -DCMAKE_SHARED_LINKER_FLAGS="$tsan" -DCMAKE_MODULE_LINKER_FLAGS="$tsan" > /dev/null
cmake --build build-tsan -j "$jobs" --target orvo_tests
TSAN_OPTIONS="halt_on_error=1" build-tsan/tests/orvo_tests --gtest_brief=1

echo "== libFuzzer with AddressSanitizer: arbitrary bytes as a model (${fuzz_seconds} s)"
cmake -S . -B build-fuzz -G Ninja -DORVO_SANITIZER_BUILD=ON -DORVO_SANITIZER=fuzz \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz -j "$jobs"
mkdir -p build-fuzz/corpus
build-fuzz/orvo_model_fuzzer -max_total_time="$fuzz_seconds" -max_len=4096 -print_final_stats=1 build-fuzz/corpus 2>&1 | tail -n 3

echo "== Release build and tests"
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

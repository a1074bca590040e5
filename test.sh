#!/usr/bin/env bash
# Builds Mindel and runs every test through CTest: once as built for use, then once
# more with AddressSanitizer and UndefinedBehaviorSanitizer, where any report fails.
# Then a session under valgrind memcheck and ten seconds of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/deps.sh
mindel_install_deps test

jobs=$(nproc)
werror=OFF
if [ -n "${CI:-}" ]; then
  werror=ON
fi

echo "== Build (release) =="
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DMINDEL_WERROR=$werror -DMINDEL_TESTS=ON >/dev/null
cmake --build build -j "$jobs"

echo "== Build (sanitizers) =="
cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DMINDEL_SANITIZE=ON -DMINDEL_TESTS=ON \
  -DMINDEL_WERROR=$werror -DMINDEL_TESTS=ON >/dev/null
cmake --build build-sanitize -j "$jobs"

echo "== Tests (release) =="
ctest --test-dir build --output-on-failure -j "$jobs"

echo "== Tests (sanitizers) =="
export ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
ctest --test-dir build-sanitize --output-on-failure -j "$jobs"

echo "== Memory check (valgrind) =="
# A whole session of the release bundle under memcheck: any invalid access, use of an
# uninitialised value or leak fails the run.
MINDEL_BUNDLE=build/Mindel.app python3 tests/e2e/valgrind_session.py

echo "== Fuzzing =="
fuzz/run 10

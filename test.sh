#!/usr/bin/env bash
# Installs what is missing, builds the sanitized debug build and runs the test suite.
set -euo pipefail
cd "$(dirname "$0")"

scripts/install-deps.sh

# The tree keeps the house format; run clang-format -i on a file that fails.
scripts/check-format.sh

# A server left behind by an interrupted run would hold the test port.
tests/fbserver/fbserver.sh stop "$PWD/build-test/fbserver"

# The Firebird client library keeps some allocations for the life of the process.
export ASAN_OPTIONS=detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S . -B build-test -DCMAKE_BUILD_TYPE=Debug -DJOVSEC_SANITIZE=ON \
    -DJOVSEC_TEST_FB_PORT="${JOVSEC_TEST_FB_PORT:-3057}"
cmake --build build-test -j2

export QT_QPA_PLATFORM=offscreen

status=0
ctest --test-dir build-test --output-on-failure || status=$?
exit "$status"

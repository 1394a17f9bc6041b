#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer, warnings as errors, then
# the three programs as scripts/run.sh builds them (optimised, where the compiler warns about more),
# warnings as errors too, and runs every test.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$here/build-test"
"$here/scripts/setup.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DKX7_SANITIZE=ON -DKX7_WERROR=ON
release="$here/build-release-check"
cmake -S "$here" -B "$release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKX7_BUILD_TESTS=OFF -DKX7_WERROR=ON
cmake --build "$release" -j "$(nproc)" --target kx7sdu kx7cli kx7emu
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j "$(nproc)" --timeout 300

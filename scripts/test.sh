#!/usr/bin/env bash
# Sets up, checks the formatting, then builds and runs every test twice: a
# normal build and one under AddressSanitizer and UndefinedBehaviorSanitizer.
# Then fuzzes the readers for a bounded time.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

echo "== format"
# Every C++ file matches the checked-in .clang-format.
(cd "$here" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror)

echo "== normal build"
"$here/scripts/build.sh" "$here/build/test" -DKOLVO_WERROR=ON
ctest --test-dir "$here/build/test" --output-on-failure -j 2

echo "== sanitizer build (address, undefined)"
"$here/scripts/build.sh" "$here/build/asan" -DKOLVO_WERROR=ON -DKOLVO_SANITIZE=ON \
    -DKOLVO_BUILD_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug
ctest --test-dir "$here/build/asan" --output-on-failure -j 2

if [[ -x "$here/scripts/fuzz.sh" ]]; then
    echo "== fuzzing"
    "$here/scripts/fuzz.sh"
fi

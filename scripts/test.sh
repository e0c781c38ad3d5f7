#!/usr/bin/env bash
# Installs what is missing (run and test packages), builds and runs the tests through CTest.
#   scripts/test.sh              every test, normal build in build/ (what CI runs first)
#   scripts/test.sh --quick      the edit-build-test loop: build/ without the benchmarks, the
#                                fault campaign and packaging; leaves out the fuzzers, the
#                                Windows compile check and the packaging checks
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --tsan       ThreadSanitizer in build-tsan/
# The sanitizer builds leave out the tools and packaging, whose tests run in the normal build.
# Further arguments go to ctest (for example -R Hex).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

dir=build
sanitizer=""
extras=ON
ctest_filter=()
case "${1:-}" in
  --quick) extras=OFF; ctest_filter=(-LE "fuzz|windows"); shift ;;
  --sanitize) dir=build-asan; sanitizer=asan; extras=OFF; shift ;;
  --tsan) dir=build-tsan; sanitizer=tsan; extras=OFF; shift ;;
esac

"$root/scripts/build.sh" "$dir" -DORBIZO3_SANITIZER="$sanitizer" -DBUILD_TESTING=ON \
  -DORBIZO3_TOOLS="$extras" -DORBIZO3_PACKAGING="$extras"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
export QT_QPA_PLATFORM=offscreen
cd "$root/$dir"
ctest --output-on-failure --parallel "$(nproc)" "${ctest_filter[@]}" "$@"

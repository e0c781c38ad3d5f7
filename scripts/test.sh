#!/usr/bin/env bash
# Installs what is missing, builds and runs every test through CTest.
#   scripts/test.sh              normal build in build/
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --tsan       ThreadSanitizer in build-tsan/
# Further arguments go to ctest (for example -R Hex).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"

dir=build
sanitizer=""
case "${1:-}" in
  --sanitize) dir=build-asan; sanitizer=asan; shift ;;
  --tsan) dir=build-tsan; sanitizer=tsan; shift ;;
esac

"$root/scripts/build.sh" "$dir" -DORBIZO3_SANITIZER="$sanitizer"

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1:verify_asan_link_order=0"
export LSAN_OPTIONS="suppressions=$root/scripts/sanitizers/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
export QT_QPA_PLATFORM=offscreen
cd "$root/$dir"
ctest --output-on-failure --parallel "$(nproc)" "$@"

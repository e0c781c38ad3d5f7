#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ into build-fuzz/ and runs each for SECONDS
# (default 60), on a corpus in build-fuzz/corpus/<name> grown from tests/fuzz/seeds/<name>.
#   scripts/fuzz.sh [SECONDS] [NAME...]     (names: answer-line, packet-link; default all)
# Exit status 1 when a target finds a crash; the input is left in build-fuzz/artifacts/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for dir in "$root"/tests/fuzz/seeds/*/; do names+=("$(basename "$dir")"); done
fi
build="$root/build-fuzz"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" "${generator[@]}" "${launcher[@]}" -DCMAKE_CXX_COMPILER=clang++ \
  -DORBIZO3_FUZZ=ON >/dev/null
targets=()
for name in "${names[@]}"; do targets+=("fuzz-$name"); done
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"
mkdir -p "$build/artifacts"
for name in "${names[@]}"; do
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  echo "== $name: ${seconds} s"
  "$build/tests/fuzz/fuzz-$name" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$name-" "$corpus" "$root/tests/fuzz/seeds/$name"
done

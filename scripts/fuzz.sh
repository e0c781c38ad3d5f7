#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz/, or $ORBIZO3_FUZZ_BUILD_DIR) and runs
# each for SECONDS (default 60) on a copy of its seeds in a temporary directory.
#
#   scripts/fuzz.sh [--build-only | --no-build] [SECONDS] [NAME...]
#
# NAME: firmware-file, ... (default: every fuzzer of tests/fuzz/CMakeLists.txt). For each it
# prints the executions, the coverage and the findings. A crashing input is kept in
# <build>/findings/<NAME>/ and the script exits 1.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${ORBIZO3_FUZZ_BUILD_DIR:-$root/build-fuzz}
do_build=1
do_run=1
case "${1:-}" in
  --build-only) do_run=0; shift ;;
  --no-build) do_build=0; shift ;;
esac
seconds=60
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi

if [ "$do_build" = 1 ]; then
  command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is needed (scripts/install-deps.sh)" >&2; exit 2; }
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DORBIZO3_FUZZ=ON "${launcher[@]}" >/dev/null
  fi
  cmake --build "$build" --target fuzzers
fi
[ "$do_run" = 1 ] || exit 0

names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  mapfile -t names < <(grep -v '^$' "$build/fuzzers.txt")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for name in "${names[@]}"; do
  binary="$build/tests/fuzz/fuzz-$name"
  [ -x "$binary" ] || { echo "fuzz.sh: no fuzzer '$name' in $build" >&2; exit 2; }
  corpus="$work/$name"
  findings="$build/findings/$name"
  mkdir -p "$corpus" "$findings"
  [ -d "$root/tests/fuzz/seeds/$name" ] && cp -r "$root/tests/fuzz/seeds/$name/." "$corpus/"
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096
           -print_final_stats=1 -artifact_prefix="$findings/")
  [ -f "$root/tests/fuzz/$name.dict" ] && options+=(-dict="$root/tests/fuzz/$name.dict")
  log="$work/$name.log"
  echo "== $name: ${seconds} s"
  rc=0
  nice "$binary" "${options[@]}" "$corpus" >"$log" 2>&1 || rc=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  coverage=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1 || true)

  echo "$name: ${executions:-?} executions, ${coverage:-no coverage figure}, corpus $(ls "$corpus" | wc -l) inputs"
  if [ "$rc" != 0 ]; then
    status=1
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*runtime error)' "$log" | head -5 || true
    echo "$name: FINDING, input kept in $findings/:"
    ls -t "$findings" | head -3 | sed "s|^|  $findings/|"
  else
    echo "$name: no findings"
  fi
done
exit $status

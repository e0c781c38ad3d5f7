#!/usr/bin/env bash
# Configures and builds into a build directory (default: build).
#   scripts/build.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
shift || true
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$root" -B "$root/$dir" "${generator[@]}" "$@" >/dev/null
cmake --build "$root/$dir" --parallel "$(nproc)"

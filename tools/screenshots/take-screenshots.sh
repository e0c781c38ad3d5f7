#!/usr/bin/env bash
# Takes the screenshots in docs/ of the updater over a simulated table, on a virtual X display.
#   tools/screenshots/take-screenshots.sh [BUILD_DIR]   (default: build-screenshots)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dir=${1:-build-screenshots}
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
cmake -S "$root" -B "$root/$dir" "${generator[@]}" >/dev/null
cmake --build "$root/$dir" --target orbizo3-screenshots >/dev/null
mkdir -p "$root/docs"
ORBIZO3_SIMULATOR=1 QT_QPA_PLATFORM=xcb \
  xvfb-run --auto-servernum --server-args="-screen 0 1024x768x24" \
  "$root/$dir/tools/screenshots/orbizo3-screenshots" "$root/docs"
ls -l "$root"/docs/orbizo3-fwupdater-*.png

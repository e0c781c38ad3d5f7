#!/usr/bin/env bash
# First run: installs what is missing for building and running (not the tests' packages), builds
# the two programs and the libraries they link into build-run/ (FirstRun build type: -O1, no
# debug information, no tests, tools or packaging), then runs the updater against a simulated
# table with the embedded firmware: the window when a display is present, else the scriptable
# update. Both steps show their progress (apt's lines, ninja's [n/m] lines).
#   scripts/run.sh            ORBIZO3_SIMULATOR=N for N simulated tables in the window
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-run

echo "== Packages (scripts/install-deps.sh --run)"
"$root/scripts/install-deps.sh" --run

echo "== Building orbizo3-fwupdater and orbizo3-cli into build-run/"
generator=()
command -v ninja >/dev/null && generator=(-G Ninja)
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=FirstRun \
    -DBUILD_TESTING=OFF -DORBIZO3_TOOLS=OFF -DORBIZO3_PACKAGING=OFF >/dev/null
fi
cmake --build "$build" --parallel "$(nproc)" --target orbizo3-fwupdater orbizo3-cli

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ORBIZO3_SIMULATOR=${ORBIZO3_SIMULATOR:-1} exec "$build/src/app/orbizo3-fwupdater"
fi
exec "$build/src/cli/orbizo3-cli" --simulate update --yes

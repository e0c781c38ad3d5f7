#!/usr/bin/env bash
# Installs what is missing, builds, and runs the updater against a simulated table with the
# embedded firmware: the window when a display is present, else the scriptable update.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build >/dev/null
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  ORBIZO3_SIMULATOR=${ORBIZO3_SIMULATOR:-1} exec "$root/build/src/app/orbizo3-fwupdater"
fi
exec "$root/build/src/cli/orbizo3-cli" --simulate update --yes

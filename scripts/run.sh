#!/usr/bin/env bash
# Installs what is missing, builds, and runs the updater's main job.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" build >/dev/null
exec "$root/build/src/cli/orbizo3-cli" --simulate update --yes

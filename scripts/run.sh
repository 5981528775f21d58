#!/usr/bin/env bash
# Sets up, builds and launches the editor. Arguments go to the program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"
"$here/scripts/build.sh" "$here/build/release" -DKOLVO_BUILD_TESTS=OFF -DKOLVO_BUILD_BENCH=OFF
if [[ -x "$here/build/release/src/main/kolvo" ]]; then
    exec "$here/build/release/src/main/kolvo" "$@"
fi
exec "$here/build/release/src/cli/kolvo-cli" --help

#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configure (once) and build the project in DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"

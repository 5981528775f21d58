#!/usr/bin/env bash
# build.sh DIR [cmake options...]: configure (once) and build the project in DIR.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
launcher=()
if command -v ccache >/dev/null 2>&1; then
    # Paths under the checkout are hashed relative to it, so every checkout
    # (and every build folder at the same place in one) shares the cache.
    export CCACHE_BASEDIR="$here"
    # Debug info would otherwise tie each object to the folder it was built in.
    export CCACHE_NOHASHDIR=1
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"

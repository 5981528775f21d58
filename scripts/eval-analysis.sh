#!/usr/bin/env bash
# eval-analysis.sh BUILD_DIR MUSIC_DIR [REAL_DIR] [eval_analysis options...]
# Measures tempo and first-beat detection over the made evaluation set (made
# once into MUSIC_DIR, kept out of the repository) and, when REAL_DIR is
# given, over real music with .sm/.ssc charts found under it; prints the
# misses and one table per half of the set (dev: tune on it; held-out: only
# report it), with `aubio tempo` beside ours.
#   scripts/eval-analysis.sh build/dev /tmp/kolvo-eval /tmp/real --half held
set -euo pipefail
build=$1
music=$2
shift 2
real=()
if [[ $# -gt 0 && $1 != --* ]]; then
    real=(--real "$1")
    shift
fi
cmake --build "$build" --target eval_analysis >/dev/null
exec "$build/bench/eval_analysis" --dir "$music" "${real[@]}" --aubio "$@"

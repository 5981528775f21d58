#!/usr/bin/env bash
# Fuzzes the work-file reader for a bounded time (FUZZ_SECONDS, default 60)
# and the step-file importers (IMPORT_FUZZ_SECONDS, default 30) with
# libFuzzer under AddressSanitizer and UndefinedBehaviorSanitizer.
# Any crash or sanitizer report fails the script. Skipped without clang.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${FUZZ_SECONDS:-60}
import_seconds=${IMPORT_FUZZ_SECONDS:-30}
dir="$here/build/fuzz"

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz.sh: clang++ not found; skipping the fuzzing run"
    exit 0
fi

cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    -DKOLVO_FUZZ=ON -DKOLVO_SANITIZE=ON -DKOLVO_BUILD_TESTS=OFF -DKOLVO_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --target kolvo_reader_fuzz step_import_fuzz -j 2

# A small seed corpus: a keyed file, a legacy file and a few variants.
corpus="$dir/corpus"
rm -rf "$corpus" "$dir/artifacts"
mkdir -p "$corpus" "$dir/artifacts"
head=$'"KOLVO-DEF"\r\n"/m.mp3","musicadd"\r\n"Demo","songname"\r\n"120","bpm"\r\n1,"check1"\r\n"t","filetag"\r\n"LEVELS",""\r\n"7","level",1,1\r\n1,"level",2,3\r\n"DATAEXISTS","","",""\r\n1,"dataexists",1,1\r\n0,"dataexists",2,3\r\n"STEPS","","",""\r\n'
printf '%s' "$head" >"$corpus/keyed"
printf '%s1,1,2,9,1,1\r\n1,1,2,9,6,2\r\n1,1,5,3,11,150.5\r\n1,1,2,1,12,500\r\n0,0,0,0,0,0\r\n' "$head" >"$corpus/keyed-steps"
printf '%s4,4,100,32,10,2\r\n3,2,1,2,7,1\r\n4,1,1,1,5,1\r\n0,0,0,0,0,0\r\n' "$head" >"$corpus/keyed-far"
printf '"m","a","b","g","130","20",2,"cd","",""\r\n"3",1,"","","","","","","","","","","","","",""\r\n1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\r\n1,1,1,1,3,2\r\n4,4,100,32,6,1\r\n' >"$corpus/legacy"
printf 'x KOLVO-DEF y\n"a\xe9","songname","LEVELS",""\n"DATAEXISTS","","",""\n"STEPS","","",""\n1,1\n1,1,1,1\n' >"$corpus/spread"

# The extended layout: charts past the old limits, every note kind, chart timing.
printf '"KOLVO-EXT","1","","","","","needs a newer version of Kolvo"\r\nfield,"songname","a ""q"" b"\r\ncheck1,2\r\nheader,"SUBTITLE","x"\r\nsongdelay,96,50\r\nchart,1,1,"",0,"",1,1\r\ntempo,96,11,150\r\noffbeat,30,12,5\r\nn,0,1,1\r\nn,5,3,4\r\nchart,2,5,"",0,"my edit",9,1\r\ntiming,-10,180\r\nbpm,192,90\r\nwarp,384,2\r\ntimingkept,"SCROLLS","0=1"\r\nkept,"CREDIT","me"\r\nn,1919807,10,6\r\nchart,0,3,"pump-single",5,"",7,1\r\nn,48,5,3\r\nend\r\n' >"$corpus/extended"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$here/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$dir/fuzz/kolvo_reader_fuzz" "$corpus" -dict="$here/fuzz/kolvo.dict" -max_len=4096 \
    -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" 2>"$dir/fuzz.log" || {
    tail -n 60 "$dir/fuzz.log"
    echo "fuzz.sh: the reader failed under fuzzing; the input is in $dir/artifacts" >&2
    exit 1
}
grep -E "^(stat::number_of_executed_units|#[0-9]+ +DONE)" "$dir/fuzz.log" || true
echo "fuzz.sh: no crash in ${seconds}s of fuzzing the work-file reader"

# The importers: seeds are the test fixtures, each behind the byte that picks
# its format (0 DWI, 1 SM, 2 SSC).
import_corpus="$dir/import-corpus"
rm -rf "$import_corpus"
mkdir -p "$import_corpus"
n=0
for f in "$here"/tests/core/import/data/*.dwi "$here"/tests/core/import/data/*.sm "$here"/tests/core/import/data/*.ssc; do
    case "$f" in
    *.dwi) pick='\000' ;;
    *.sm) pick='\001' ;;
    *) pick='\002' ;;
    esac
    { printf "$pick"; cat "$f"; } >"$import_corpus/seed$n"
    n=$((n + 1))
done
"$dir/fuzz/step_import_fuzz" "$import_corpus" -dict="$here/fuzz/step.dict" -max_len=8192 \
    -max_total_time="$import_seconds" -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$dir/artifacts/" 2>"$dir/import-fuzz.log" || {
    tail -n 60 "$dir/import-fuzz.log"
    echo "fuzz.sh: the step importers failed under fuzzing; the input is in $dir/artifacts" >&2
    exit 1
}
grep -E "^(stat::number_of_executed_units|#[0-9]+ +DONE)" "$dir/import-fuzz.log" || true
echo "fuzz.sh: no crash in ${import_seconds}s of fuzzing the step importers"

// The step-file importers in memory: a typical song (four charts, 60 bars
// of 16th notes) and the largest song of the original limits (all sixteen
// charts, an arrow on every 32nd row of all 100 bars), each as .dwi and as
// .sm, and a typical .ssc of today (six charts with mines, rolls and 24ths,
// chart tags and a chart's own timing) with the bytes its song's notes take.
// Bytes processed give the parse rate.
#include "core/dwi/dwiwriter.h"
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"
#include "smtext.h"

#include <benchmark/benchmark.h>

using namespace kolvo;

namespace {

// One SM chart: `bars` measures of `lines` lines over `columns` panels,
// an arrow on a cycling panel in every line, a freeze every 8th line.
QByteArray smChart(const char* type, const char* difficulty, int columns, int bars, int lines) {
    QByteArray out = QByteArray("#NOTES:\n     ") + type + ":\n     :\n     " + difficulty +
                     ":\n     9:\n     0,0,0,0,0:\n";
    out += benchSmMeasures(columns, bars, lines);
    return out;
}

QByteArray smHeader() {
    return "#TITLE:Bench;\n#ARTIST:Bench;\n#MUSIC:song.ogg;\n#OFFSET:-0.250;\n"
           "#BPMS:0.000=150.000,64.000=75.000;\n#STOPS:32.000=0.500;\n";
}

QByteArray typicalSm() {
    QByteArray out = smHeader();
    for (const char* d : {"Easy", "Medium", "Hard", "Challenge"})
        out += smChart("dance-single", d, 4, 60, 16);
    return out;
}

QByteArray largestSm() {
    QByteArray out = smHeader();
    const struct {
        const char* type;
        int columns;
    } types[] = {{"dance-single", 4}, {"dance-double", 8}, {"dance-couple", 8}, {"dance-solo", 6}};
    for (const auto& t : types)
        for (const char* d : {"Easy", "Medium", "Hard", "Challenge"})
            out += smChart(t.type, d, t.columns, 100, 32);
    return out;
}

// A chart of `bars` measures of 16 or 24 lines: taps cycling over the
// panels, a hold or roll every 8th line, a mine now and then.
QByteArray sscChart(const char* difficulty, int meter, int bars) {
    QByteArray out = QByteArray("#NOTEDATA:;\n#CHARTNAME:Bench;\n#STEPSTYPE:dance-single;\n") +
                     "#DESCRIPTION:;\n#CHARTSTYLE:;\n#DIFFICULTY:" + difficulty +
                     ";\n#METER:" + QByteArray::number(meter) +
                     ";\n#RADARVALUES:0.5,0.4,0.3,0.2,0.1;\n" + "#CREDIT:Bench;\n#NOTES:\n";
    int open = -1;
    for (int b = 0; b < bars; ++b) {
        const int lines = b % 4 == 3 ? 24 : 16;
        for (int l = 0; l < lines; ++l) {
            QByteArray line(4, '0');
            const int c = (b + l) % 4;
            if (open >= 0 && open != c) {
                line[open] = '3';
                open = -1;
            }
            if (l % 8 == 0 && open < 0) {
                line[c] = b % 2 ? '4' : '2';
                open = c;
            } else if (line[c] == '0') {
                line[c] = l % 7 == 3 ? 'M' : '1';
            }
            out += line + '\n';
        }
        out += b + 1 < bars ? ",\n" : ";\n";
    }
    return out;
}

QByteArray typicalSsc() {
    QByteArray out = "#VERSION:0.83;\n#TITLE:Bench;\n#SUBTITLE:(Bench);\n#ARTIST:Bench;\n"
                     "#BANNER:bn.png;\n#BACKGROUND:bg.png;\n#MUSIC:song.ogg;\n#OFFSET:-0.250;\n"
                     "#SAMPLESTART:40;\n#SAMPLELENGTH:12;\n#SELECTABLE:YES;\n"
                     "#DISPLAYBPM:150;\n#BPMS:0.000=150.000,64.000=75.000,65.500=150.000;\n"
                     "#STOPS:32.000=0.500,97.750=0.125;\n#DELAYS:;\n#WARPS:;\n"
                     "#TIMESIGNATURES:0.000=4=4;\n#TICKCOUNTS:0.000=4;\n#COMBOS:0.000=1;\n"
                     "#SPEEDS:0.000=1.000=0.000=0;\n#SCROLLS:0.000=1.000;\n#FAKES:;\n"
                     "#LABELS:0.000=Song Start;\n#BGCHANGES:;\n#KEYSOUNDS:;\n#ATTACKS:;\n";
    const struct {
        const char* difficulty;
        int meter;
    } charts[] = {{"Beginner", 2}, {"Easy", 4},       {"Medium", 7},
                  {"Hard", 10},    {"Challenge", 13}, {"Edit", 11}};
    for (const auto& c : charts)
        out += sscChart(c.difficulty, c.meter, 90);
    out.insert(out.lastIndexOf("#NOTES:"), "#BPMS:0.000=150.000;\n#STOPS:16.000=0.250;\n");
    return out;
}

// The same songs as the program's own DWI export.
QByteArray asDwi(const QByteArray& sm) {
    const ImportResult r = importStepFile(sm, QStringLiteral("/bench/song.sm"), StepFormat::Sm);
    return r.ok() ? dwiFileText(*r.song, DwiMode::Export) : QByteArray();
}

void runImport(benchmark::State& state, const QByteArray& text, StepFormat format) {
    if (text.isEmpty()) {
        state.SkipWithError("no input");
        return;
    }
    for (auto _ : state) {
        ImportResult r = importStepFile(text, QStringLiteral("/bench/song"), format);
        if (!r.ok())
            state.SkipWithError("import failed");
        benchmark::DoNotOptimize(r.song.get());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * text.size());
    state.counters["file_KB"] = double(text.size()) / 1e3;
}

void BM_ImportTypical(benchmark::State& state) {
    static const QByteArray sm = typicalSm();
    static const QByteArray dwi = asDwi(sm);
    const bool isSm = state.range(0) == 1;
    state.SetLabel(isSm ? ".sm" : ".dwi");
    runImport(state, isSm ? sm : dwi, isSm ? StepFormat::Sm : StepFormat::Dwi);
}
BENCHMARK(BM_ImportTypical)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_ImportLargest(benchmark::State& state) {
    static const QByteArray sm = largestSm();
    static const QByteArray dwi = asDwi(sm);
    const bool isSm = state.range(0) == 1;
    state.SetLabel(isSm ? ".sm" : ".dwi");
    runImport(state, isSm ? sm : dwi, isSm ? StepFormat::Sm : StepFormat::Dwi);
}
BENCHMARK(BM_ImportLargest)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ImportTypicalSsc(benchmark::State& state) {
    static const QByteArray ssc = typicalSsc();
    runImport(state, ssc, StepFormat::Ssc);
    const ImportResult r = importStepFile(ssc, QStringLiteral("/bench/song.ssc"), StepFormat::Ssc);
    if (r.ok())
        state.counters["noteBytes_KB"] = double(r.song->noteBytes()) / 1e3;
}

BENCHMARK(BM_ImportTypicalSsc)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();

// kolvo-cli over a song pack the bench makes: N song folders of typical
// size (four charts of 60 bars of 16th notes with freezes, a BPM change and
// a stop): a third hold a .dwi, a third a .sm beside a .dwi (the usual old
// pack), a third a .ssc. Timed: `check` of the whole pack, and `convert --to
// ssc` into a fresh folder. The time is kolvo-cli's wall time; peak_MB is
// its largest resident size (ru_maxrss), files the song files in the pack.
#include "childrun.h"
#include "core/formats/builtinformats.h"
#include "core/formats/fileformat.h"
#include "core/song/songmodel.h"
#include "smtext.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

extern char** environ;

using namespace kolvo;

namespace {

// One SM chart: `bars` measures of 16 lines, an arrow on a cycling panel in
// every line, a freeze every 8th line.
QByteArray smChart(const char* difficulty, int meter, int bars) {
    QByteArray out = QByteArray("#NOTES:\n     dance-single:\n     :\n     ") + difficulty +
                     ":\n     " + QByteArray::number(meter) + ":\n     0,0,0,0,0:\n";
    out += benchSmMeasures(4, bars, 16);
    return out;
}

QByteArray typicalSm() {
    QByteArray out = "#TITLE:Bench;\n#ARTIST:Bench;\n#MUSIC:song.ogg;\n#OFFSET:-0.250;\n"
                     "#BPMS:0.000=150.000,64.000=75.000;\n#STOPS:32.000=0.500;\n";
    out += smChart("Easy", 3, 60);
    out += smChart("Medium", 6, 60);
    out += smChart("Hard", 9, 60);
    out += smChart("Challenge", 11, 60);
    return out;
}

// The typical song in every readable step format, by extension.
std::map<QString, QByteArray> typicalFiles() {
    const QByteArray sm = typicalSm();
    std::map<QString, QByteArray> files{{QStringLiteral("sm"), sm}};
    const ReadResult r = smFormat().read(sm, QStringLiteral("/bench/song.sm"));
    if (r.ok()) {
        files[QStringLiteral("dwi")] = dwiFormat().write(*r.song);
        files[QStringLiteral("ssc")] = sscFormat().write(*r.song);
    }
    return files;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Makes the pack; returns the number of song files, or -1.
int makePack(const QString& root, int songs) {
    const std::map<QString, QByteArray> files = typicalFiles();
    if (files.size() != 3)
        return -1;
    int count = 0;
    for (int s = 0; s < songs; ++s) {
        const QString folder = root + QStringLiteral("/Song %1").arg(s, 4, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder))
            return -1;
        QStringList exts;
        if (s % 3 == 0)
            exts = {QStringLiteral("dwi")};
        else if (s % 3 == 1)
            exts = {QStringLiteral("sm"), QStringLiteral("dwi")};
        else
            exts = {QStringLiteral("ssc")};
        for (const QString& e : exts) {
            if (!writeFile(folder + QStringLiteral("/song.") + e, files.at(e)))
                return -1;
            ++count;
        }
    }
    return count;
}

struct Pack {
    std::unique_ptr<QTemporaryDir> dir;
    int files = -1;
};

const Pack& packOf(int songs) {
    static std::map<int, Pack> packs;
    Pack& p = packs[songs];
    if (!p.dir) {
        p.dir = std::make_unique<QTemporaryDir>();
        p.files = makePack(p.dir->filePath(QStringLiteral("Pack")), songs);
    }
    return p;
}

void report(benchmark::State& state, const std::vector<ChildRun>& runs, int files) {
    double peak = 0;
    for (const ChildRun& r : runs)
        peak = std::max(peak, r.peakMb);
    state.counters["peak_MB"] = peak;
    state.counters["files"] = files;
}

using PackArgs =
    std::function<std::vector<QByteArray>(const QByteArray& root, const QByteArray& outFolder)>;

// Times kolvo-cli over the made pack of state.range(0) songs; `args` gives
// its arguments for the pack's root and a fresh, empty output folder.
void timeOverPack(benchmark::State& state, const char* failure, const PackArgs& args) {
    const Pack& pack = packOf(int(state.range(0)));
    if (pack.files < 0) {
        state.SkipWithError("the pack could not be made");
        return;
    }
    const QByteArray root = QFile::encodeName(pack.dir->filePath(QStringLiteral("Pack")));
    std::vector<ChildRun> runs;
    for (auto _ : state) {
        QTemporaryDir out;
        const ChildRun r =
            runChild(args(root, QFile::encodeName(out.path())), ChildStderr::Discard);
        if (r.wallMs < 0) {
            state.SkipWithError(failure);
            return;
        }
        runs.push_back(r);
        state.SetIterationTime(r.wallMs / 1000);
    }
    report(state, runs, pack.files);
}

// Arg: the number of songs.
void BM_PackCheck(benchmark::State& state) {
    timeOverPack(state, "kolvo-cli check failed", [](const QByteArray& root, const QByteArray&) {
        return std::vector<QByteArray>{KOLVO_CLI, "check", root};
    });
}
BENCHMARK(BM_PackCheck)->Arg(1000)->Arg(3000)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PackConvertToSsc(benchmark::State& state) {
    timeOverPack(
        state, "kolvo-cli convert failed", [](const QByteArray& root, const QByteArray& out) {
            return std::vector<QByteArray>{KOLVO_CLI, "convert", "--to", "ssc", root, "-o", out};
        });
}
BENCHMARK(BM_PackConvertToSsc)
    ->Arg(1000)
    ->Arg(3000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

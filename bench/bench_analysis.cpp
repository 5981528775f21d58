// Tempo and first-beat detection on music made here: first an accuracy
// report over click tracks and synthetic songs (with the `aubio tempo`
// command's estimate beside ours), then the speed of decoding and of
// analysing a four-minute song.
//
// KOLVO_BENCH_MUSIC_DIR=<folder> keeps the made music between runs;
// KOLVO_BENCH_REPORT=0 skips the accuracy report.
#include "analysis/tempoanalysis.h"
#include "aubioreference.h"
#include "testmusic.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

using namespace kolvo;
using namespace kolvo::test;

namespace {

QString g_dir;

struct Case {
    MusicRecipe recipe;
    Encoding encoding;
    QString path;
};

QString musicPath(const MusicRecipe& s, Encoding e) {
    return QDir(g_dir).filePath(
        QStringLiteral("%1_%2bpm_%3ms_%4s_%5_%6.%7")
            .arg(s.kind == MusicKind::ClickTrack ? QStringLiteral("click") : QStringLiteral("song"))
            .arg(s.bpm, 0, 'f', 2)
            .arg(s.gapMs, 0, 'f', 1)
            .arg(s.seconds)
            .arg(s.intro == Intro::Quiet ? QStringLiteral("quiet") : QStringLiteral("silent"))
            .arg(s.seed)
            .arg(QString::fromLatin1(extension(e))));
}

Case prepare(const MusicRecipe& s, Encoding e) {
    Case c{s, e, musicPath(s, e)};
    if (!QFileInfo::exists(c.path) && !writeMusic(c.path, s, e))
        std::fprintf(stderr, "could not make %s\n", qPrintable(c.path));
    return c;
}

std::vector<Case> clickTracks() {
    const double bpms[] = {70, 88, 100, 120, 137.5, 150, 165.25, 174, 191.33, 200, 222, 240};
    const double gaps[] = {0, 350, 1234, 3000, 75.5, 2000};
    std::vector<Case> cases;
    int i = 0;
    for (double bpm : bpms)
        for (Encoding e : {Encoding::Wav, Encoding::Mp3, Encoding::Ogg}) {
            MusicRecipe s;
            s.kind = MusicKind::ClickTrack;
            s.bpm = bpm;
            s.gapMs = gaps[i++ % 6];
            s.seconds = 30;
            cases.push_back(prepare(s, e));
        }
    return cases;
}

std::vector<Case> songs() {
    std::mt19937 rng(2024);
    std::uniform_real_distribution<double> bpm(70, 240);
    std::uniform_real_distribution<double> gap(0, 3000);
    std::vector<Case> cases;
    for (int i = 0; i < 60; ++i) {
        MusicRecipe s;
        s.kind = MusicKind::Song;
        double b = bpm(rng);
        // A third whole, a third in halves, a third with two decimals.
        b = i % 3 == 0   ? std::round(b)
            : i % 3 == 1 ? std::round(b * 2) / 2
                         : std::round(b * 100) / 100;
        s.bpm = b;
        s.gapMs = i % 10 == 0 ? 0 : std::round(gap(rng) * 10) / 10;
        s.seconds = 60;
        s.intro = i % 2 == 0 ? Intro::Silent : Intro::Quiet;
        s.seed = unsigned(i + 1);
        cases.push_back(prepare(s, Encoding(i % 3)));
    }
    return cases;
}

// Prints one line per file and the totals of a set.
void report(const char* title, const std::vector<Case>& cases, double bpmTol, double gapTol) {
    std::printf("\n## %s (BPM within %.2f, gap within %.0f ms)\n\n", title, bpmTol, gapTol);
    std::printf("| file | true BPM | found | error | true gap | found | error | aubio tempo | "
                "steady | result |\n|---|---|---|---|---|---|---|---|---|---|\n");
    int pass = 0, half = 0, dbl = 0;
    std::vector<double> ours, peer;
    for (const Case& c : cases) {
        const analysis::TempoResult r = analysis::analyseFile(c.path.toStdString());
        const double aubio = kolvo::bench::aubioTempo(c.path, 60000);
        const double bpmErr = std::abs(r.bpm - c.recipe.bpm);
        const double gapErr = std::abs(r.gapMs - c.recipe.gapMs);
        const bool ok = r.hasFigures() && bpmErr <= bpmTol && gapErr <= gapTol;
        pass += ok;
        if (r.hasFigures() && std::abs(r.bpm * 2 - c.recipe.bpm) < 0.01 * c.recipe.bpm)
            ++half;
        if (r.hasFigures() && std::abs(r.bpm - 2 * c.recipe.bpm) < 0.02 * c.recipe.bpm)
            ++dbl;
        ours.push_back(r.hasFigures() ? bpmErr : c.recipe.bpm);
        peer.push_back(aubio > 0 ? std::abs(aubio - c.recipe.bpm) : c.recipe.bpm);
        std::printf("| %s | %.2f | %s | %.4f | %.1f | %lld | %.1f | %.2f | %.0f%% | %s |\n",
                    qPrintable(QFileInfo(c.path).fileName()), c.recipe.bpm,
                    analysis::bpmText(r.bpm).c_str(), bpmErr, c.recipe.gapMs,
                    analysis::gapWholeMs(r.gapMs), gapErr, aubio, 100 * r.steadyShare,
                    ok ? "ok" : (r.message.empty() ? "FAIL" : ("FAIL: " + r.message).c_str()));
    }
    const double n = double(cases.size());
    std::printf(
        "\n%s: %d of %zu right (%.1f%%); half tempo %.1f%%, double tempo %.1f%%; median BPM "
        "error ours %.4f, aubio tempo %.4f\n",
        title, pass, cases.size(), 100 * pass / n, 100 * half / n, 100 * dbl / n,
        kolvo::bench::median(ours), kolvo::bench::median(peer));
    std::fflush(stdout);
}

QString fourMinuteSong() {
    MusicRecipe s;
    s.kind = MusicKind::Song;
    s.bpm = 143.75;
    s.gapMs = 1480;
    s.seconds = 240;
    s.intro = Intro::Quiet;
    return prepare(s, Encoding::Mp3).path;
}

void BM_Decode4MinuteMp3(benchmark::State& state) {
    const std::string path = fourMinuteSong().toStdString();
    for (auto _ : state) {
        std::string error;
        const analysis::Audio a = analysis::decodeAudio(path, error);
        benchmark::DoNotOptimize(a.samples.data());
    }
}
BENCHMARK(BM_Decode4MinuteMp3)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Analyse4MinuteSong(benchmark::State& state) {
    std::string error;
    const analysis::Audio a = analysis::decodeAudio(fourMinuteSong().toStdString(), error);
    for (auto _ : state) {
        const analysis::TempoResult r = analysis::analyseAudio(a);
        benchmark::DoNotOptimize(r.bpm);
    }
}
BENCHMARK(BM_Analyse4MinuteSong)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_DecodeAndAnalyse4MinuteMp3(benchmark::State& state) {
    const std::string path = fourMinuteSong().toStdString();
    for (auto _ : state) {
        const analysis::TempoResult r = analysis::analyseFile(path);
        benchmark::DoNotOptimize(r.bpm);
    }
}
BENCHMARK(BM_DecodeAndAnalyse4MinuteMp3)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    g_dir = qEnvironmentVariable("KOLVO_BENCH_MUSIC_DIR");
    if (g_dir.isEmpty())
        g_dir = tmp.path();
    QDir().mkpath(g_dir);
    if (qEnvironmentVariable("KOLVO_BENCH_REPORT") != QStringLiteral("0")) {
        report("Click tracks", clickTracks(), 0.01, 3);
        report("Synthetic songs", songs(), 0.02, 10);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

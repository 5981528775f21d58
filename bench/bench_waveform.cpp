// The music beside the chart: a four-minute MP3 from nothing to a drawn
// waveform (decoded on the worker thread, with the longest stall of the
// event loop meanwhile), the same from the cache, a repaint and a rebuild of
// the editor's strip, the peaks' memory, and the density graph of a
// 2,000-bar chart.
//
// KOLVO_BENCH_MUSIC_DIR=<folder> keeps the made music between runs.
#include "core/edit/chartstats.h"
#include "core/timing/tempomap.h"
#include "testmusic.h"
#include "ui/editor/chartstatswindow.h"
#include "ui/editor/musicwaveform.h"
#include "ui/editor/wavestrip.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

using namespace kolvo;

namespace {

QString fourMinuteMp3() {
    static QTemporaryDir made;
    QString dir = qEnvironmentVariable("KOLVO_BENCH_MUSIC_DIR");
    if (dir.isEmpty())
        dir = made.path();
    QDir().mkpath(dir);
    const QString path = QDir(dir).filePath(QStringLiteral("waveform_song_240s.mp3"));
    if (!QFileInfo::exists(path)) {
        test::MusicRecipe recipe;
        recipe.kind = test::MusicKind::Song;
        recipe.bpm = 150;
        recipe.gapMs = 400;
        recipe.seconds = 240;
        if (!test::writeMusic(path, recipe, test::Encoding::Mp3))
            std::fprintf(stderr, "could not make %s\n", qPrintable(path));
    }
    return path;
}

// One bar at 150 BPM over the editor's 256 pixel rows.
std::vector<WaveStrip::Span> editorBar(int bar) {
    return {{80, 336, tickOf(bar, 0), tickOf(bar + 1, 0)}};
}

TimingData songTiming() {
    TimingData t;
    t.bpm = 150;
    t.offsetMs = 400;
    return t;
}

// Loads the music into a strip and waits until the waveform is drawn; the
// longest gap between ticks of a 1 ms timer meanwhile is the stall.
double loadAndDraw(const QString& path, bool& fromCache, std::size_t& bytes, double& seconds) {
    MusicWaveform music;
    WaveStrip strip(&music);
    strip.resize(96, 380);
    strip.setLayout(TempoMap(songTiming()), editorBar(20));
    QElapsedTimer sinceTick;
    double longest = 0;
    QTimer ticker;
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
        sinceTick.restart();
    });
    ticker.start();
    sinceTick.start();
    const auto start = std::chrono::steady_clock::now();
    music.setMusic(path);
    while (music.state() == MusicWaveform::State::Loading)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    longest = std::max(longest, double(sinceTick.nsecsElapsed()) / 1e6);
    // The strip redrew on the change it was told of; a paint copies the picture.
    strip.repaint();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    fromCache = music.fromCache();
    bytes = music.peaks().memoryBytes();
    return longest; // the attacks still being found are cancelled
}

void clearCache() {
    QDir(MusicWaveform::cacheFolder()).removeRecursively();
}

void BM_Mp3ToDrawnWaveform(benchmark::State& state) {
    const QString path = fourMinuteMp3();
    double stall = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        clearCache();
        bool cached = true;
        double seconds = 0;
        stall = std::max(stall, loadAndDraw(path, cached, bytes, seconds));
        state.SetIterationTime(seconds);
        if (cached)
            state.SkipWithError("the cache was used");
    }
    state.counters["longest_stall_ms"] = stall;
    state.counters["peaks_MB"] = double(bytes) / (1024 * 1024);
}
BENCHMARK(BM_Mp3ToDrawnWaveform)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FromCacheToDrawnWaveform(benchmark::State& state) {
    const QString path = fourMinuteMp3();
    {
        // Fill the cache: the attacks come last.
        MusicWaveform music;
        music.setMusic(path);
        while (!music.onsetsReady() && music.state() != MusicWaveform::State::Failed)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    double stall = 0;
    for (auto _ : state) {
        bool cached = false;
        std::size_t bytes = 0;
        double seconds = 0;
        stall = std::max(stall, loadAndDraw(path, cached, bytes, seconds));
        state.SetIterationTime(seconds);
        if (!cached)
            state.SkipWithError("the cache was not used");
    }
    state.counters["longest_stall_ms"] = stall;
}
BENCHMARK(BM_FromCacheToDrawnWaveform)->UseManualTime()->Unit(benchmark::kMillisecond);

struct ReadyStrip {
    MusicWaveform music;
    WaveStrip strip{&music};
    ReadyStrip() {
        music.setMusic(fourMinuteMp3());
        while (!music.onsetsReady() && music.state() != MusicWaveform::State::Failed)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        strip.resize(96, 380);
        strip.setLayout(TempoMap(songTiming()), editorBar(20));
        strip.show();
        QApplication::processEvents();
    }
};

void BM_StripRepaint(benchmark::State& state) {
    ReadyStrip r;
    for (auto _ : state)
        r.strip.repaint();
}
BENCHMARK(BM_StripRepaint)->Unit(benchmark::kMicrosecond);

// Another bar shown (or the timing changed): the picture is made anew.
void BM_StripAnotherBar(benchmark::State& state) {
    ReadyStrip r;
    int bar = 1;
    for (auto _ : state) {
        r.strip.setLayout(TempoMap(songTiming()), editorBar(bar));
        r.strip.repaint();
        bar = bar % 140 + 1;
    }
}
BENCHMARK(BM_StripAnotherBar)->Unit(benchmark::kMicrosecond);

ChartSteps streamChart(int bars) {
    ChartSteps steps;
    for (int bar = 1; bar <= bars; ++bar)
        for (int r = 0; r < (bar % 7 == 0 ? 8 : 16); ++r)
            steps.append({tickOf(bar, r * 12), std::uint8_t(1 + r % 4), NoteKind::Arrow});
    steps.finish();
    return steps;
}

void BM_DensityGraph2000Bars(benchmark::State& state) {
    const ChartSteps steps = streamChart(2000);
    const ChartStats stats = chartStats(steps, TempoMap(songTiming()));
    DensityGraph graph;
    graph.resize(480, 140);
    graph.show();
    QApplication::processEvents();
    for (auto _ : state) {
        graph.setDensity(stats.density, stats.peakDensity, stats.peakBar);
        graph.repaint();
    }
}
BENCHMARK(BM_DensityGraph2000Bars)->Unit(benchmark::kMicrosecond);

void BM_ChartStats2000Bars(benchmark::State& state) {
    const ChartSteps steps = streamChart(2000);
    const TempoMap tempo(songTiming());
    for (auto _ : state)
        benchmark::DoNotOptimize(chartStats(steps, tempo));
}
BENCHMARK(BM_ChartStats2000Bars)->Unit(benchmark::kMicrosecond);

} // namespace

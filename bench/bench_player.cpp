// The player link against the real mpv (null audio and video outputs):
// query round trips, accuracy of the reported position against our own
// monotonic clock, and the time from LoadWinamp to a found, stopped player.
#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/filedialogs.h"
#include "ui/platform/launcher.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"

#include "testapp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace kolvo;

namespace {

constexpr int kSongMs = 60000;

struct Session {
    SongModel model;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    ProcessLauncher launcher;
    MpvPlayerLink player;
    AppContext ctx{model, boxes, dialogs, launcher, player};
    QWidget owner;
    QTemporaryDir dir;

    Session() {
        ctx.winamppath = QFileInfo(QStandardPaths::findExecutable("mpv")).absolutePath();
        const QString music = dir.filePath("bench song.wav");
        test::writeTestWav(music, kSongMs);
        model.setField(SummaryField::Musicadd, music);
        owner.show();
    }
    ~Session() { player.quitPlayer(); }
    bool load() { return LoadWinamp(ctx, &owner) == LoadWinampResult::Loaded; }
};

std::unique_ptr<Session> g_session; // ended before the QApplication

Session& session() {
    if (!g_session) {
        g_session = std::make_unique<Session>();
        g_session->load();
    }
    return *g_session;
}

double percentile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto i = std::size_t(std::clamp(q * double(v.size() - 1), 0.0, double(v.size() - 1)));
    return v[i];
}

void roundTrip(benchmark::State& state, int query) {
    Session& s = session();
    if (!s.player.IsWindow()) {
        state.SkipWithError("mpv did not load");
        return;
    }
    s.player.WinampCommand(winamp::Play);
    std::vector<double> us;
    QElapsedTimer t;
    for (auto _ : state) {
        t.start();
        benchmark::DoNotOptimize(s.player.query(query));
        us.push_back(double(t.nsecsElapsed()) / 1000.0);
    }
    state.counters["median_us"] = percentile(us, 0.5);
    state.counters["p99_us"] = percentile(us, 0.99);
}

void BM_Query104RoundTrip(benchmark::State& state) {
    roundTrip(state, winamp::IsPlaying);
}
void BM_Query105RoundTrip(benchmark::State& state) {
    roundTrip(state, winamp::GetPosition);
}

// Jump while playing, then compare each reported position with the jump
// target plus the time our monotonic clock says has passed since.
void BM_PositionAccuracy(benchmark::State& state) {
    Session& s = session();
    if (!s.player.IsWindow()) {
        state.SkipWithError("mpv did not load");
        return;
    }
    s.player.WinampCommand(winamp::Play);
    std::vector<double> absErr, rawErr;
    double signedSum = 0;
    int target = 2000;
    for (auto _ : state) {
        s.player.jumpTo(target);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 2000) {
            const int pos = s.player.position();
            const double expected = target + double(clock.nsecsElapsed()) / 1e6;
            absErr.push_back(std::abs(pos - expected));
            signedSum += pos - expected;
            // For comparison: the player's own coarse reading at the same moment.
            const double raw = s.player.property("time-pos").toDouble() * 1000.0;
            rawErr.push_back(std::abs(raw - (target + double(clock.nsecsElapsed()) / 1e6)));
            if (qEnvironmentVariableIsSet("KOLVO_BENCH_TRACE"))
                std::fprintf(stderr, "%d %.1f %d %.0f\n", target, expected, pos, raw);
            QTest::qWait(3);
        }
        target = (target + 7000) % (kSongMs - 10000);
    }
    state.counters["median_abs_ms"] = percentile(absErr, 0.5);
    state.counters["p99_abs_ms"] = percentile(absErr, 0.99);
    state.counters["mean_signed_ms"] = absErr.empty() ? 0 : signedSum / double(absErr.size());
    state.counters["raw_timepos_median_abs_ms"] = percentile(rawErr, 0.5);
    state.counters["raw_timepos_p99_abs_ms"] = percentile(rawErr, 0.99);
    state.counters["samples"] = double(absErr.size());
}

void BM_LoadWinampToStopped(benchmark::State& state) {
    Session& s = session();
    std::vector<double> ms;
    for (auto _ : state) {
        state.PauseTiming();
        s.player.quitPlayer();
        state.ResumeTiming();
        QElapsedTimer t;
        t.start();
        const bool ok = s.load() && s.player.state() == 0;
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (!ok) {
            state.SkipWithError("LoadWinamp did not find the player");
            break;
        }
    }
    state.counters["median_ms"] = percentile(ms, 0.5);
    state.counters["max_ms"] = percentile(ms, 1.0);
}

BENCHMARK(BM_Query104RoundTrip)->Iterations(3000);
BENCHMARK(BM_Query105RoundTrip)->Iterations(3000);
BENCHMARK(BM_PositionAccuracy)->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWinampToStopped)->Iterations(10)->Unit(benchmark::kMillisecond);

} // namespace

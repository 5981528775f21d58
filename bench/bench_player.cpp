// The player link against the real mpv (null audio and video outputs):
// query round trips, accuracy of the reported position against our own
// monotonic clock, and the time from LoadWinamp to a found, stopped player.
#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/playerlink.h"

#include "scriptedfiledialogs.h"
#include "scriptedmessageboxes.h"
#include "testapp.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
        model.setField(SummaryField::MusicFile, music);
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

// The longest the event loop goes without handling an event while `op`
// runs: the largest gap between ticks of a 1 ms timer (and from the start
// to the first tick, and from the last tick to the end).
template <class Op> double longestStallMs(Op op) {
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QElapsedTimer clock;
    double last = 0;
    double longest = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const double now = double(clock.nsecsElapsed()) / 1e6;
        longest = std::max(longest, now - last);
        last = now;
    });
    ticker.start();
    clock.start();
    op();
    const double end = double(clock.nsecsElapsed()) / 1e6;
    ticker.stop();
    return std::max(longest, end - last);
}

void reportStalls(benchmark::State& state, const std::vector<double>& ms) {
    state.counters["median_stall_ms"] = percentile(ms, 0.5);
    state.counters["max_stall_ms"] = percentile(ms, 1.0);
}

// A whole load: start the player, look for it, stop it at 0.
void BM_StallDuringLoad(benchmark::State& state) {
    Session& s = session();
    std::vector<double> ms;
    for (auto _ : state) {
        bool ok = false;
        ms.push_back(longestStallMs([&] { ok = s.load(); }));
        if (!ok) {
            state.SkipWithError("LoadWinamp did not find the player");
            return;
        }
    }
    reportStalls(state, ms);
}

// A jump while playing, as the sync checker and the grabber make.
void BM_StallDuringJump(benchmark::State& state) {
    Session& s = session();
    if (!s.player.IsWindow() && !s.load()) {
        state.SkipWithError("mpv did not load");
        return;
    }
    s.player.WinampCommand(winamp::Play);
    std::vector<double> ms;
    int target = 1000;
    for (auto _ : state) {
        ms.push_back(longestStallMs([&] { s.player.jumpTo(target); }));
        target = (target + 7000) % (kSongMs - 10000);
    }
    reportStalls(state, ms);
}

// A look at a "player" that accepts the connection and never answers.
void BM_StallOnASilentPlayer(benchmark::State& state) {
    QTemporaryDir dir;
    const QByteArray path = dir.filePath("mute.sock").toLocal8Bit();
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.constData(), sizeof addr.sun_path - 1);
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listener, 16) != 0) {
        state.SkipWithError("no socket");
        return;
    }
    std::vector<double> ms;
    for (auto _ : state) {
        MpvPlayerLink mute(QString::fromLocal8Bit(path));
        ms.push_back(longestStallMs([&] { mute.FindWindowA(); }));
    }
    ::close(listener);
    reportStalls(state, ms);
}

BENCHMARK(BM_Query104RoundTrip)->Iterations(3000);
BENCHMARK(BM_Query105RoundTrip)->Iterations(3000);
BENCHMARK(BM_PositionAccuracy)->Iterations(4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWinampToStopped)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StallDuringLoad)->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StallDuringJump)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StallOnASilentPlayer)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace

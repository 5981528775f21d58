// Accuracy of the timing tools against the real mpv (null audio and video
// outputs, whose clock runs in real time):
//  - the grabber: key presses sent at exact monotonic-clock times that belong
//    to chosen rows, at 120 and 180 BPM with a gap, half- and quarter-beat
//    snap; how many land on their row, and the error of the play position
//    the grabber read against the player's true position at the press;
//  - the sync checker: when each light comes on against its ideal beat;
//  - the gap and BPM finders: Enter presses at known times and the results.
// The player's true position is taken from its own time-pos, read over a
// second IPC connection: time-pos trails the audio clock by up to one chunk
// and never leads it, so the upper envelope of (time-pos - clock) is the
// offset between the song and our clock.
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "core/timing/grabbermath.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/playerlink.h"
#include "ui/platform/settings.h"
#include "ui/timing/findbpm.h"
#include "ui/timing/findthegap.h"
#include "ui/timing/grabber.h"
#include "ui/timing/synchro.h"
#include "ui/timing/toolwidgets.h"

#include "scriptedfiledialogs.h"
#include "scriptedmessageboxes.h"
#include "testapp.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocalSocket>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

using namespace kolvo;

namespace {

constexpr int kSongMs = 60000;

double nowMs() {
    return double(monotonicNowNs()) / 1e6;
}

// One song loaded into a fresh player.
struct Session {
    SongModel model;
    ScriptedMessageBoxes boxes;
    ScriptedFileDialogs dialogs;
    ProcessLauncher launcher;
    MpvPlayerLink player;
    AppContext ctx{model, boxes, dialogs, launcher, player};
    QWidget owner;
    QTemporaryDir dir;
    bool loaded = false;

    Session() {
        ctx.winamppath = QFileInfo(QStandardPaths::findExecutable("mpv")).absolutePath();
        const QString music = dir.filePath("bench song.wav");
        test::writeTestWav(music, kSongMs);
        model.setField(SummaryField::MusicFile, music);
        owner.show();
        loaded = LoadWinamp(ctx, &owner) == LoadWinampResult::Loaded;
    }
    ~Session() { player.quitPlayer(); }
};

// A second connection to the player that reads its raw time-pos.
class TruthProbe {
  public:
    // `speed`: the song's time runs at this fraction of our clock's.
    explicit TruthProbe(const QString& socketPath, double speed = 1.0) : m_speed(speed) {
        m_socket.connectToServer(socketPath);
        m_socket.waitForConnected(500);
    }
    bool ok() const { return m_socket.state() == QLocalSocket::ConnectedState; }

    // One reading: time-pos minus our clock (at the middle of the round trip).
    std::optional<double> sample() {
        const int id = m_nextId++;
        const QByteArray req = QByteArrayLiteral("{\"command\":[\"get_property\",\"time-pos\"],"
                                                 "\"request_id\":") +
                               QByteArray::number(id) + "}\n";
        const double before = nowMs();
        m_socket.write(req);
        m_socket.flush();
        QElapsedTimer limit;
        limit.start();
        while (limit.elapsed() < 500) {
            if (!m_socket.canReadLine() && !m_socket.waitForReadyRead(50))
                continue;
            while (m_socket.canReadLine()) {
                const QJsonObject o = QJsonDocument::fromJson(m_socket.readLine()).object();
                if (o.value("request_id").toInt() != id)
                    continue;
                const double after = nowMs();
                if (!o.value("data").isDouble())
                    return std::nullopt;
                const double pos = o.value("data").toDouble() * 1000.0;
                const double offset = pos - m_speed * (before + after) / 2;
                m_offsets.push_back(offset);
                return offset;
            }
        }
        return std::nullopt;
    }
    // Song position = speed * clock + offset(); the upper envelope of the
    // readings.
    double offset() const {
        return m_offsets.empty() ? 0 : *std::max_element(m_offsets.begin(), m_offsets.end());
    }
    void clear() { m_offsets.clear(); }

  private:
    QLocalSocket m_socket;
    double m_speed = 1.0;
    int m_nextId = 1;
    std::vector<double> m_offsets;
};

// Reads the probe every few ms for `ms` while events keep running.
void sampleFor(TruthProbe& probe, double ms) {
    const double end = nowMs() + ms;
    while (nowMs() < end) {
        probe.sample();
        QCoreApplication::processEvents();
        QThread::usleep(3000);
    }
}

// Keeps events running until the clock reaches `whenMs`, the last
// stretch spinning so the moment is met to the microsecond.
void waitUntilMs(double whenMs) {
    while (whenMs - nowMs() > 3) {
        QCoreApplication::processEvents();
        QThread::usleep(500);
    }
    while (nowMs() < whenMs) {
    }
}

void pressKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent down(QEvent::KeyPress, key, mods);
    QCoreApplication::sendEvent(w, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods);
    QCoreApplication::sendEvent(w, &up);
}

double percentile(std::vector<double> v, double q) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const double at = std::clamp(q * double(v.size() - 1), 0.0, double(v.size() - 1));
    return v[std::size_t(std::lround(at))];
}

void reportErrors(benchmark::State& state, const std::vector<double>& err, const char* prefix) {
    std::vector<double> absErr;
    for (double e : err)
        absErr.push_back(std::abs(e));
    const std::string p(prefix);
    state.counters[p + "err_min_ms"] = percentile(err, 0);
    state.counters[p + "err_p05_ms"] = percentile(err, 0.05);
    state.counters[p + "err_median_ms"] = percentile(err, 0.5);
    state.counters[p + "err_p95_ms"] = percentile(err, 0.95);
    state.counters[p + "err_max_ms"] = percentile(err, 1);
    state.counters[p + "abs_median_ms"] = percentile(absErr, 0.5);
    state.counters[p + "abs_max_ms"] = percentile(absErr, 1);
}

// ------------------------------------------------------------ grabber --

struct Placed {
    int bar, row, position;
};

// args: BPM, gap ms, snap (1 half, 2 quarter), playback speed in percent.
// Errors are in the song's time.
void BM_GrabberRows(benchmark::State& state) {
    const double bpm = double(state.range(0));
    const double gap = double(state.range(1));
    const int snap = int(state.range(2));
    const int speedPct = int(state.range(3));
    const double speed = speedPct / 100.0;
    const int presses = 40;
    int hits = 0;
    int total = 0;
    std::vector<double> err;
    for (auto _ : state) {
        Session s;
        if (!s.loaded) {
            state.SkipWithError("mpv did not load");
            return;
        }
        s.model.setField(SummaryField::Bpm, canonicalNumberText(bpm));
        s.model.setField(SummaryField::Gap, canonicalNumberText(gap));
        s.ctx.session.currentbar = 1;
        WriteSetting("stepgrabber", "option1", QString::number(snap));
        WriteSetting("stepgrabber", "speed", QString::number(speedPct));
        QWidget editor;
        EditorLink link;
        link.editor = &editor;
        auto* g = new Grabber(s.ctx, link);
        g->show();
        if (!g->start()) {
            state.SkipWithError("the grabber did not start");
            return;
        }
        std::vector<Placed> placed;
        QObject::connect(g, &Grabber::placed, [&placed](Tick tick, int, int pos) {
            placed.push_back({barOfTick(tick), fineRowOfTick(tick) / kFinePerRow + 1, pos});
        });
        TruthProbe probe(s.player.socketPath(), speed);
        if (!probe.ok()) {
            state.SkipWithError("no second connection to the player");
            return;
        }
        sampleFor(probe, 800); // also lets the player settle after its jump

        // Grid points of the snap, starting a little ahead of the song.
        const double step = grab::msPerBeat(bpm) / (snap == 2 ? 4 : 2);
        const double startPos = speed * nowMs() + probe.offset() + 300;
        const int first = int(std::ceil((startPos - gap) / step));
        std::vector<double> pressClock;
        std::vector<double> targets;
        for (int i = 0; i < presses; ++i) {
            const double target = gap + (first + i) * step;
            waitUntilMs((target - probe.offset()) / speed);
            pressClock.push_back(nowMs());
            targets.push_back(target);
            pressKey(g, Qt::Key_Left);
        }
        sampleFor(probe, 300);
        const double offset = probe.offset(); // with the readings during the run
        for (std::size_t i = 0; i < placed.size() && i < targets.size(); ++i) {
            const grab::SnappedCell want = grab::cellAt(targets[i], gap, bpm, snap);
            hits += (placed[i].bar == want.bar && placed[i].row == want.row) ? 1 : 0;
            err.push_back(placed[i].position - (speed * pressClock[i] + offset));
        }
        total += presses;
        g->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["presses"] = total;
    state.counters["on_row"] = hits;
    state.counters["on_row_pct"] = total ? 100.0 * hits / total : 0;
    reportErrors(state, err, "");
}

// ------------------------------------------------------- sync checker --

// args: BPM, gap ms, beats to watch, playback speed in percent. Errors are
// on our clock.
void BM_SyncLights(benchmark::State& state) {
    const double bpm = double(state.range(0));
    const double gap = double(state.range(1));
    const int beats = int(state.range(2));
    const int speedPct = int(state.range(3));
    const double speed = speedPct / 100.0;
    std::vector<double> err;
    int within = 0;
    for (auto _ : state) {
        Session s;
        if (!s.loaded) {
            state.SkipWithError("mpv did not load");
            return;
        }
        auto* w = new Synchro(s.ctx, nullptr);
        w->bpmEdit()->setText(canonicalNumberText(bpm));
        w->gapEdit()->setText(canonicalNumberText(gap));
        w->speedChoice()->setCurrentIndex(w->speedChoice()->findData(speedPct));
        w->show();
        std::vector<std::pair<int, double>> lights; // (beat, clock ms)
        QObject::connect(w, &Synchro::beat,
                         [&lights](int beat, int) { lights.emplace_back(beat, nowMs()); });
        TruthProbe probe(s.player.socketPath(), speed);
        w->testButton()->click(); // Test: play from the gap
        // Probe readings on a timer of their own, so the beat poll runs freely.
        QTimer probeTimer;
        probeTimer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probeTimer, &QTimer::timeout, [&probe] { probe.sample(); });
        probeTimer.start(7);
        QElapsedTimer limit;
        limit.start();
        while (int(lights.size()) < beats && limit.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
        probeTimer.stop();
        const double offset = probe.offset();
        const double mspb = grab::msPerBeat(bpm);
        for (const auto& [beat, at] : lights) {
            const double ideal = (gap + beat * mspb - offset) / speed; // on our clock
            err.push_back(at - ideal);
            within += std::abs(at - ideal) <= 50.0 ? 1 : 0;
        }
        w->cancelButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["lights"] = double(err.size());
    state.counters["within_50ms"] = within;
    reportErrors(state, err, "");
}

// ------------------------------------------------- gap and BPM finders --

// Enter presses at known times after playback starts; the result beside
// the arithmetic's answer for the same elapsed time.
void BM_GapFinderResult(benchmark::State& state) {
    const double afterMs = double(state.range(0)) / 10.0;
    double result = -1;
    double playerAtPress = 0;
    for (auto _ : state) {
        Session s;
        if (!s.loaded) {
            state.SkipWithError("mpv did not load");
            return;
        }
        auto* w = new FindTheGap(s.ctx, nullptr);
        w->show();
        pressKey(w, Qt::Key_Return); // load (already loaded: found at once), wait at the start
        pressKey(w, Qt::Key_Return); // play: the measurement starts
        const double t0 = nowMs();
        // The player's own position, read a little before the press (a
        // query takes a moment) and carried on to it.
        waitUntilMs(t0 + afterMs - 40);
        const double readAt = nowMs();
        const double pos = s.player.position();
        waitUntilMs(t0 + afterMs);
        playerAtPress = pos + (nowMs() - readAt);
        pressKey(w, Qt::Key_Return);
        result = w->foundgap().toDouble();
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["pressed_after_ms"] = afterMs;
    state.counters["gap_ms"] = result;
    state.counters["expected_ms"] = std::floor(afterMs / 10.0) * 10.0;
    state.counters["player_pos_at_press_ms"] = playerAtPress;
}

// args: ms between presses (x1000)
void BM_BpmFinderResult(benchmark::State& state) {
    const double spacing = double(state.range(0)) / 1000.0;
    double result = -1;
    for (auto _ : state) {
        Session s;
        if (!s.loaded) {
            state.SkipWithError("mpv did not load");
            return;
        }
        auto* w = new FindBPM(s.ctx, nullptr);
        w->show();
        pressKey(w, Qt::Key_Return); // load and play
        const double t0 = nowMs() + 100;
        for (int tap = 0; tap < 16; ++tap) {
            waitUntilMs(t0 + tap * spacing);
            pressKey(w, Qt::Key_Return);
        }
        result = w->foundbpm().toDouble();
        w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    state.counters["spacing_ms"] = spacing;
    state.counters["bpm"] = result;
    state.counters["expected"] = std::floor(90000.0 / std::floor(15 * spacing / 10.0));
}

BENCHMARK(BM_GrabberRows)
    ->Args({120, 350, 1, 100})
    ->Args({120, 350, 2, 100})
    ->Args({180, 1234, 1, 100})
    ->Args({180, 1234, 2, 100})
    ->Args({120, 350, 2, 50})
    ->Args({180, 1234, 2, 50})
    ->Args({180, 1234, 2, 25})
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncLights)
    ->Args({120, 350, 24, 100})
    ->Args({180, 1234, 24, 100})
    ->Args({120, 350, 12, 50})
    ->Args({180, 1234, 12, 50})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GapFinderResult)
    ->Arg(23456)
    ->Arg(10000)
    ->Arg(50099)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BpmFinderResult)
    ->Arg(500000)
    ->Arg(333333)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

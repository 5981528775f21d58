// The music's waveform beside the step editor's grid: rows line up with the
// sounds through the song's timing, the cache spares a second decoding, and
// music that cannot be drawn says why in the strip.
#include "core/song/songmodel.h"
#include "core/timing/tempomap.h"
#include "testapp.h"
#include "testmusic.h"
#include "ui/editor/chartstatswindow.h"
#include "ui/editor/musicwaveform.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/stepgrid.h"
#include "ui/editor/wavestrip.h"
#include "ui/editor/wideview.h"
#include "waituntil.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

using namespace kolvo;

namespace {

constexpr int kRate = 44100;

// Silence with a click at each time (ms): a 1.5 kHz tone dying away in 30 ms.
std::vector<float> clickTrack(const std::vector<double>& times, double lengthMs) {
    std::vector<float> s(std::size_t(lengthMs * kRate / 1000), 0.0f);
    for (double t : times) {
        const auto first = std::size_t(t * kRate / 1000);
        for (std::size_t i = first; i < std::min(s.size(), first + kRate * 3 / 100); ++i) {
            const double since = double(i - first) / kRate;
            s[i] = float(0.95 * std::sin(2 * M_PI * 1500 * since) * std::exp(-since / 0.004));
        }
    }
    return s;
}

// The pixel row of a tick of the bar shown, from the grid's own geometry.
int gridRowOfTick(Tick tick, int bar) {
    const double twipsDown =
        grid::kOriginY + double(tick - tickOf(bar, 0)) * grid::kRowPitch / kFinePerRow;
    return int(std::floor(twipsDown / kTwipsPerPixel));
}

bool loud(const WaveStrip* strip, int y) {
    const auto [from, to] = strip->drawnExtent(y);
    return to - from > strip->width() / 2;
}

class WaveStripTest : public ::testing::Test {
  protected:
    test::TestApp app;
    QWidget summary;
    QPointer<StepEditorWindow> editor;

    void open() {
        app.ctx.session.currentstyle = Single;
        app.ctx.session.currentlevel = Basic;
        editor = new StepEditorWindow(app.ctx, &summary);
        editor->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    }
    void showBar(int bar) {
        app.ctx.session.currentbar = bar;
        editor->refreshgrid();
    }
    void TearDown() override { delete editor.data(); }
};

TEST_F(WaveStripTest, EachClickLandsOnItsRowAcrossABpmChangeAndAStop) {
    // 120 BPM from a 100 ms gap, 180 BPM from bar 2 beat 2, a 400 ms stop
    // on bar 3's first row; a click on every eighth of bars 1 to 4.
    app.model.setField(SummaryField::Bpm, QStringLiteral("120"));
    app.model.setField(SummaryField::Gap, QStringLiteral("100"));
    const ChartSlot slot = SongModel::slotOf(Single, Basic);
    app.model.setTempoAt(slot, tickOf(2, 48), BPMCHANNEL, 180.0);
    app.model.setTempoAt(slot, tickOf(3, 0), FREEZECHANNEL, 400.0);
    const TempoMap tempo(app.model.songTiming());
    std::vector<Tick> ticks;
    std::vector<double> times;
    for (Tick t = tickOf(1, 0); t < tickOf(5, 0); t += 24) {
        ticks.push_back(t);
        times.push_back(tempo.msAtTick(t));
    }
    ASSERT_GT(tempo.msAtTick(tickOf(3, 0) + 24) - tempo.msAtTick(tickOf(3, 0)), 400);
    const QString music = app.path(QStringLiteral("clicks.wav"));
    ASSERT_TRUE(test::writeWav(music, clickTrack(times, times.back() + 1000), kRate));
    app.model.setField(SummaryField::MusicFile, music);

    open();
    const WaveStrip* strip = editor->waveStrip();
    ASSERT_TRUE(test::waitUntil(
        [&] { return editor->music()->state() == MusicWaveform::State::Ready; }, 20000));
    EXPECT_EQ(strip->message(), QString());
    for (int bar = 1; bar <= 4; ++bar) {
        showBar(bar);
        const int top = gridRowOfTick(tickOf(bar, 0), bar);
        const int bottom = gridRowOfTick(tickOf(bar + 1, 0), bar);
        std::vector<int> expected;
        for (Tick t : ticks)
            if (barOfTick(t) == bar)
                expected.push_back(gridRowOfTick(t, bar));
        ASSERT_EQ(expected.size(), 8u);
        // The next bar's first click sits on the bar's closing line.
        std::vector<int> near = expected;
        near.push_back(bottom);
        for (int y : expected)
            EXPECT_TRUE(loud(strip, y - 1) || loud(strip, y) || loud(strip, y + 1))
                << "bar " << bar << " row at pixel " << y;
        for (int y = top; y < bottom; ++y) {
            if (!loud(strip, y))
                continue;
            EXPECT_TRUE(
                std::any_of(near.begin(), near.end(), [y](int e) { return std::abs(e - y) <= 1; }))
                << "bar " << bar << ": sound at pixel " << y << " on no click's row";
        }
    }

    // The attacks follow: the detector's, each on a click, and each drawn
    // as a tick at the left edge on the row it is heard at.
    ASSERT_TRUE(test::waitUntil([&] { return editor->music()->onsetsReady(); }, 30000));
    const std::vector<double>& onsets = editor->music()->onsetsMs();
    EXPECT_GE(onsets.size(), times.size() * 8 / 10);
    for (double o : onsets) {
        const auto click =
            std::find_if(times.begin(), times.end(), [o](double t) { return std::abs(o - t) < 5; });
        ASSERT_NE(click, times.end()) << "an attack at " << o << " ms, where no click is";
        const Tick tick = ticks[std::size_t(click - times.begin())];
        if (barOfTick(tick) > 4)
            continue;
        showBar(barOfTick(tick));
        const int y = gridRowOfTick(tick, barOfTick(tick));
        EXPECT_TRUE(strip->picture().pixel(0, y) == WaveStrip::attackColour().rgb() ||
                    strip->picture().pixel(0, y + 1) == WaveStrip::attackColour().rgb())
            << "no tick for the attack at " << o << " ms";
    }

    // The wide view's strip: bar j of those shown takes the 32 pixel rows
    // under its separator, one to a 32nd.
    editor->wideViewButton()->click();
    auto* wide = editor->findChild<WideView*>();
    ASSERT_TRUE(wide);
    const WaveStrip* wideStrip = wide->waveStrip();
    ASSERT_TRUE(wideStrip->isVisible());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const int y = 1 + 32 * (barOfTick(ticks[i]) - 1) + fineRowOfTick(ticks[i]) / kFinePerRow;
        EXPECT_TRUE(loud(wideStrip, y - 1) || loud(wideStrip, y) || loud(wideStrip, y + 1))
            << "wide view: no click at pixel " << y;
    }
    wide->close();

    // A new tempo redraws at once: at 100 BPM the click at 350 ms lies on
    // tick 20 of bar 1, and nothing sounds at its second eighth (400 ms).
    showBar(1);
    app.ctx.document.setField(SummaryField::Bpm, QStringLiteral("100"));
    const int moved = gridRowOfTick(tickOf(1, 20), 1);
    EXPECT_TRUE(loud(strip, moved - 1) || loud(strip, moved) || loud(strip, moved + 1));
    EXPECT_FALSE(loud(strip, gridRowOfTick(tickOf(1, 24), 1)));
}

TEST_F(WaveStripTest, TheToggleHidesTheStripAndIsRemembered) {
    open();
    const int narrow = StepGrid::cellRect(1, 1).left(); // unchanged by the strip
    ASSERT_TRUE(editor->waveToggle()->isChecked());
    const int wide = editor->width();
    editor->waveToggle()->click();
    EXPECT_FALSE(editor->waveStrip()->isVisible());
    EXPECT_EQ(editor->width(), wide - StepEditorWindow::kWaveStripWidth);
    EXPECT_EQ(StepGrid::cellRect(1, 1).left(), narrow);
    delete editor.data();
    open();
    EXPECT_FALSE(editor->waveToggle()->isChecked());
    EXPECT_FALSE(editor->waveStrip()->isVisible());
    editor->waveToggle()->click();
    EXPECT_TRUE(editor->waveStrip()->isVisible());
    EXPECT_EQ(editor->width(), wide);
}

TEST_F(WaveStripTest, MusicThatCannotBeDrawnSaysWhyInTheStrip) {
    struct Case {
        const char* file;
        const char* bytes; // nullptr: no file
        const char* says;
    };
    const Case cases[] = {
        {"", nullptr, "No music file."},
        {"gone.ogg", nullptr, "Music file not found: gone.ogg"},
        {"text.mp3", "this is not music at all", "The music cannot be read"},
        {"empty.wav", "", "The music cannot be read (the file is empty)."},
    };
    for (const Case& c : cases) {
        QString path;
        if (*c.file)
            path = c.bytes ? app.writeFile(QLatin1String(c.file), QByteArray(c.bytes))
                           : app.path(QLatin1String(c.file));
        app.model.setField(SummaryField::MusicFile, path);
        open();
        EXPECT_TRUE(test::waitUntil(
            [&] { return editor->music()->state() != MusicWaveform::State::Loading; }));
        EXPECT_TRUE(editor->waveStrip()->message().startsWith(QLatin1String(c.says)))
            << c.file << ": " << editor->waveStrip()->message().toStdString();
        EXPECT_TRUE(app.boxes.shown.isEmpty());
        delete editor.data();
    }
}

TEST_F(WaveStripTest, StatisticsAndTheCheckAgainstTheMusic) {
    // A click on every beat from 100 ms at 120 BPM; arrows on bar 1's four
    // beats and one a sixteenth after bar 2's first beat.
    test::MusicRecipe recipe;
    recipe.bpm = 120;
    recipe.gapMs = 100;
    recipe.seconds = 6;
    const QString music = app.path(QStringLiteral("beats.wav"));
    ASSERT_TRUE(test::writeWav(music, test::renderMusic(recipe), recipe.sampleRate));
    app.model.setField(SummaryField::MusicFile, music);
    app.model.setField(SummaryField::Bpm, QStringLiteral("120"));
    app.model.setField(SummaryField::Gap, QStringLiteral("100"));
    ChartSteps steps;
    for (int beat = 0; beat < 4; ++beat)
        steps.append({tickOf(1, beat * 48), PanelLeft, NoteKind::Arrow});
    steps.append({tickOf(2, 12), PanelDown, NoteKind::Arrow});
    steps.append({tickOf(2, 12), PanelRight, NoteKind::Arrow});
    steps.finish();
    app.model.swapSteps(SongModel::slotOf(Single, Basic), steps);

    open();
    ChartStatsWindow* stats = editor->showChartStats(false);
    EXPECT_EQ(stats->stats().steps, 6);
    EXPECT_EQ(stats->stats().jumps, 1);
    EXPECT_EQ(stats->breakdown()->text(), QStringLiteral("No streams."));
    stats->copyButton()->click();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("No streams."));

    ASSERT_TRUE(test::waitUntil([&] { return editor->music()->onsetsReady(); }, 20000));
    editor->showChartStats(true);
    EXPECT_EQ(stats->checkList()->toPlainText(), QStringLiteral("Bar 2 beat 1.25: 125 ms late"));
    stats->tolerance()->setValue(130);
    stats->checkButton()->click();
    EXPECT_EQ(stats->checkList()->toPlainText(),
              QStringLiteral("Every row is within 130 ms of an attack."));

    // An edit shows at once.
    app.ctx.document.setStep(SongModel::slotOf(Single, Basic), 1, 1, PanelUp, StepArrow);
    EXPECT_EQ(stats->stats().steps, 7);
}

TEST(MusicWaveformCache, UsedTheSecondTimeAndRebuiltWhenTheMusicChanges) {
    QTemporaryDir dir;
    const QString music = dir.filePath(QStringLiteral("song.wav"));
    ASSERT_TRUE(test::writeWav(music, clickTrack({500, 1000, 1500}, 3000), kRate));
    auto load = [](MusicWaveform& w, const QString& path) {
        w.setMusic(path);
        return test::waitUntil([&] { return w.onsetsReady(); }, 20000);
    };
    const QDir cache(MusicWaveform::cacheFolder());
    const auto cached = [&] { return cache.entryList({QStringLiteral("*.peaks")}).size(); };
    const auto before = cached();
    std::vector<double> firstOnsets;
    {
        MusicWaveform first;
        ASSERT_TRUE(load(first, music));
        EXPECT_FALSE(first.fromCache());
        firstOnsets = first.onsetsMs();
    }
    MusicWaveform again;
    ASSERT_TRUE(load(again, music));
    EXPECT_TRUE(again.fromCache());
    EXPECT_EQ(again.onsetsMs(), firstOnsets);
    EXPECT_FALSE(firstOnsets.empty());
    EXPECT_EQ(again.peaks().durationMs(), 3000);

    // Other music under the same name: decoded again, and cached anew.
    ASSERT_TRUE(test::writeWav(music, clickTrack({250, 2500}, 4000), kRate));
    ASSERT_TRUE(load(again, music));
    EXPECT_FALSE(again.fromCache());
    EXPECT_EQ(again.peaks().durationMs(), 4000);
    EXPECT_EQ(cached(), before + 2);
}

} // namespace

// The "Detect BPM and Gap" window over real made music: the figures it
// shows and writes, the summary window it holds, Cancel, bad files, and its
// entry in the summary window's Tools menu.
#include "core/song/songmodel.h"
#include "evalmusic.h"
#include "testapp.h"
#include "testmusic.h"
#include "ui/analysis/detecttempo.h"
#include "ui/summary/songsummarywindow.h"
#include "ui/timing/synchro.h"
#include "waituntil.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

class DetectTempoTest : public ::testing::Test {
  protected:
    test::TestApp app;
    QWidget summary;

    void TearDown() override {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->testAttribute(Qt::WA_DeleteOnClose))
                w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QString music(const char* name, double bpm, double gapMs, double seconds = 12) {
        test::MusicRecipe recipe;
        recipe.kind = test::MusicKind::ClickTrack;
        recipe.bpm = bpm;
        recipe.gapMs = gapMs;
        recipe.seconds = seconds;
        const QString path = app.path(QString::fromLatin1(name));
        EXPECT_TRUE(test::writeMusic(path, recipe, test::Encoding::Wav));
        return path;
    }
    DetectTempo* open(const QString& musicFile) {
        app.model.setField(SummaryField::MusicFile, musicFile);
        auto* w = new DetectTempo(app.ctx, &summary);
        w->show();
        return w;
    }
    static bool finish(DetectTempo* w) {
        return test::waitUntil([w] { return !w->running(); }, 60000);
    }
};

TEST_F(DetectTempoTest, ShowsTheFiguresAndWritesThoseAskedFor) {
    const QString file = music("click.wav", 137.5, 1234);
    app.model.setField(SummaryField::Bpm, QStringLiteral("100"));
    app.model.setField(SummaryField::Gap, QStringLiteral("0"));
    DetectTempo* w = open(file);
    EXPECT_FALSE(summary.isEnabled());
    ASSERT_TRUE(finish(w));
    QApplication::processEvents();
    EXPECT_EQ(w->bpmLabel()->text(), "137.50");
    // The measured figure is shown to four places: 137.4999 or 137.5001 both fit.
    const QString exact = w->exactLabel()->text();
    EXPECT_TRUE(exact.startsWith("exactly 137.5 (measured 137.5") ||
                exact.startsWith("exactly 137.5 (measured 137.49"))
        << exact.toStdString();
    EXPECT_EQ(w->gapLabel()->text(), "1234 ms");
    EXPECT_EQ(w->confidenceLabel()->text(), "Steady beat found over 100% of the song.");
    EXPECT_FALSE(w->useMapButton()->isEnabled());
    EXPECT_FALSE(w->tempoMapList()->isVisible());
    EXPECT_EQ(w->progressBar()->value(), w->progressBar()->maximum());
    EXPECT_FALSE(w->cancelButton()->isEnabled());

    struct Step {
        QPushButton* button;
        const char* bpm;
        const char* gap;
    } steps[] = {
        {w->useGapButton(), "100", "1234"},
        {w->useBpmButton(), "137.5", "1234"},
    };
    for (const Step& s : steps) {
        s.button->click();
        EXPECT_EQ(app.model.bpm(), s.bpm);
        EXPECT_EQ(app.model.gap(), s.gap);
    }
    app.model.setField(SummaryField::Bpm, QString());
    app.model.setField(SummaryField::Gap, QString());
    w->useBothButton()->click();
    EXPECT_EQ(app.model.bpm(), "137.5");
    EXPECT_EQ(app.model.gap(), "1234");

    w->closeButton()->click();
    QApplication::processEvents();
    EXPECT_TRUE(summary.isEnabled());
}

// The tempos the music could be charted in are listed, the likeliest
// chosen; choosing another shows and writes its figures, the gap following
// the chosen tempo.
TEST_F(DetectTempoTest, ListsTheCandidatesAndUsesTheChosenOne) {
    DetectTempo* w = open(music("click.wav", 137.5, 1234));
    ASSERT_TRUE(finish(w));
    QApplication::processEvents();
    QListWidget* list = w->candidateList();
    ASSERT_GE(list->count(), 2);
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(list->item(0)->text().startsWith("137.50 BPM, gap 1234 ms: "))
        << list->item(0)->text().toStdString();
    // The first beat of each bar is accented: half the tempo is a candidate,
    // with its beats on the accented clicks.
    const QList<QListWidgetItem*> half = list->findItems("68.75 BPM", Qt::MatchStartsWith);
    ASSERT_EQ(half.size(), 1);
    EXPECT_TRUE(half[0]->text().startsWith("68.75 BPM, gap 1234 ms: "))
        << half[0]->text().toStdString();
    w->choose(list->row(half[0]));
    EXPECT_EQ(w->bpmLabel()->text(), "68.75");
    EXPECT_EQ(w->gapLabel()->text(), "1234 ms");
    w->useBothButton()->click();
    EXPECT_EQ(app.model.bpm(), "68.75");
    EXPECT_EQ(app.model.gap(), "1234");
    w->choose(0);
    w->useBpmButton()->click();
    EXPECT_EQ(app.model.bpm(), "137.5");
}

TEST_F(DetectTempoTest, CheckByEarOpensTheCheckerWithTheNewFigures) {
    app.model.setField(SummaryField::Bpm, QStringLiteral("100"));
    app.model.setField(SummaryField::Gap, QStringLiteral("10"));
    DetectTempo* w = open(music("click.wav", 150, 400));
    ASSERT_TRUE(finish(w));
    w->checkByEarButton()->click();
    Synchro* sync = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<Synchro*>(top))
            sync = s;
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(sync->bpmEdit()->text(), "150");
    EXPECT_EQ(sync->gapEdit()->text(), "400");
    // Nothing is written until the checker's OK; the summary stays held by
    // the checker after this window closes.
    EXPECT_EQ(app.model.bpm(), "100");
    w->close();
    QApplication::processEvents();
    EXPECT_FALSE(summary.isEnabled());
    sync->okButton()->click();
    QApplication::processEvents();
    EXPECT_EQ(app.model.bpm(), "150");
    EXPECT_EQ(app.model.gap(), "400");
    EXPECT_TRUE(summary.isEnabled());
}

TEST_F(DetectTempoTest, NoFiguresWriteNothing) {
    const QString text = app.writeFile("notes.ogg", "not music");
    const QString silence = app.path("silence.wav");
    ASSERT_TRUE(test::writeWav(silence, std::vector<float>(44100 * 5, 0.0f), 44100));
    struct Case {
        const char* name;
        QString file;
        const char* status;
    } cases[] = {
        {"no music file", QString(), "No music file is set."},
        {"not audio", text, "No figures for notes.ogg: not audio that can be decoded. Nothing"},
        {"silence", silence,
         "No figures for silence.wav: no steady beat found. Nothing was changed."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        app.model.setField(SummaryField::Bpm, QStringLiteral("99"));
        app.model.setField(SummaryField::Gap, QStringLiteral("9"));
        DetectTempo* w = open(c.file);
        ASSERT_TRUE(finish(w));
        QApplication::processEvents();
        EXPECT_TRUE(w->statusLabel()->text().startsWith(c.status))
            << w->statusLabel()->text().toStdString();
        for (QPushButton* b :
             {w->useBpmButton(), w->useGapButton(), w->useBothButton(), w->checkByEarButton()}) {
            EXPECT_FALSE(b->isEnabled());
            b->click();
        }
        EXPECT_TRUE(w->bpmLabel()->text().isEmpty());
        EXPECT_EQ(app.model.bpm(), "99");
        EXPECT_EQ(app.model.gap(), "9");
        w->close();
        QApplication::processEvents();
    }
}

TEST_F(DetectTempoTest, CancelStopsTheAnalysisAndWritesNothing) {
    const QString file = music("long.wav", 120, 0, 90);
    app.model.setField(SummaryField::Bpm, QStringLiteral("99"));
    DetectTempo* w = open(file);
    EXPECT_TRUE(w->running());
    EXPECT_TRUE(w->cancelButton()->isEnabled());
    w->cancelButton()->click();
    ASSERT_TRUE(finish(w));
    QApplication::processEvents();
    EXPECT_EQ(w->statusLabel()->text(), "Cancelled: nothing was changed.");
    EXPECT_FALSE(w->useBpmButton()->isEnabled());
    EXPECT_EQ(app.model.bpm(), "99");
    w->close();

    // Closing a window whose analysis still runs leaves nothing behind.
    DetectTempo* again = open(file);
    EXPECT_TRUE(again->running());
    again->close();
    QApplication::processEvents();
    EXPECT_TRUE(summary.isEnabled());
    EXPECT_EQ(app.model.bpm(), "99");
}

// The Tools menu entry opens the window over the song's music; figures used
// go through the summary field's own normalisation.
TEST_F(DetectTempoTest, SummaryMenuEntryOpensTheWindow) {
    SongSummaryWindow menu(app.ctx);
    menu.show();
    app.model.setField(SummaryField::MusicFile, music("click.wav", 96, 2000));
    QAction* entry = menu.menuAction(QStringLiteral("detecttempomenu"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    DetectTempo* w = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* d = qobject_cast<DetectTempo*>(top))
            w = d;
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(menu.isEnabled());
    ASSERT_TRUE(finish(w));
    const QString bpmBefore = app.model.bpm(), gapBefore = app.model.gap();
    const int stepsBefore = app.ctx.document.history().index();
    w->useBothButton()->click();
    EXPECT_EQ(app.model.bpm(), "96");
    EXPECT_EQ(app.model.gap(), "2000");
    EXPECT_EQ(menu.findChild<QLineEdit*>(QStringLiteral("bpm"))->text(), "96");
    // Both figures are one step of the history, undone together.
    QUndoStack& history = app.ctx.document.history();
    EXPECT_EQ(history.index(), stepsBefore + 1);
    EXPECT_EQ(history.undoText(), "Edit BPM and Gap");
    w->useBothButton()->click(); // nothing changes: no step
    EXPECT_EQ(history.index(), stepsBefore + 1);
    history.undo();
    EXPECT_EQ(app.model.bpm(), bpmBefore);
    EXPECT_EQ(app.model.gap(), gapBefore);
    history.redo();
    EXPECT_EQ(app.model.gap(), "2000");
    w->close();
    QApplication::processEvents();
    EXPECT_TRUE(menu.isEnabled());
}

// Music that speeds up little by little fits one figure only in its middle:
// the window does not call it exact, and says how far its beats part from
// the music's.
TEST_F(DetectTempoTest, SaysExactlyOnlyOfAFigureThatHoldsOverTheSong) {
    test::EvalCase made;
    made.bpm = 179.565;
    for (int beat = 4; beat < 180; beat += 4)
        made.tempoChanges.push_back({beat, 179.565 + 0.02 * beat / 4, 0});
    made.gapMs = 400;
    made.seconds = 60;
    const QString file = app.path(QStringLiteral("creeping.wav"));
    ASSERT_TRUE(test::writeCase(file, made));
    DetectTempo* w = open(file);
    ASSERT_TRUE(finish(w));
    QApplication::processEvents();
    const QString text = w->exactLabel()->text();
    EXPECT_TRUE(text.startsWith("about 180")) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("part from the music's by up to [0-9]+ ms$")))
        << text.toStdString();
}

// Music whose tempo changes: the window lists the map, and Use Tempo Map
// writes it in place of the song's tempo events as one step of the history.
TEST_F(DetectTempoTest, UseTempoMapWritesTheChangesAndStopsAsOneStep) {
    test::EvalCase made;
    made.bpm = 120;
    made.gapMs = 700;
    made.tempoChanges = {{32, 150, 0}, {64, 0, 0.25}};
    made.seconds = 40;
    const QString file = app.path(QStringLiteral("changes.wav"));
    ASSERT_TRUE(test::writeCase(file, made));
    constexpr ChartSlot kSong = SongModel::slotOf(Single, Basic);
    app.model.setField(SummaryField::Bpm, QStringLiteral("100"));
    app.model.setField(SummaryField::Gap, QStringLiteral("0"));
    app.model.setTempoAt(kSong, 5 * kFineRowsPerBeat, BPMCHANNEL, 90.0);
    const std::vector<TempoCell> cellsBefore = app.model.songTempoCells();
    app.model.setField(SummaryField::MusicFile, file);
    // The figures go through the document, as the summary window's fields do.
    auto* w = new DetectTempo(app.ctx, &summary, [this](SummaryField f, const QString& text) {
        app.ctx.document.setField(f, text);
    });
    w->show();
    ASSERT_TRUE(finish(w));
    QApplication::processEvents();
    ASSERT_TRUE(w->useMapButton()->isEnabled());
    EXPECT_TRUE(w->tempoMapList()->isVisible());
    QStringList lines;
    for (int i = 0; i < w->tempoMapList()->count(); ++i)
        lines << w->tempoMapList()->item(i)->text();
    EXPECT_EQ(lines.join(u'|'), "gap 700 ms|beat 0: 120 BPM|beat 32: 150 BPM|beat 64: stop 250 ms");

    QUndoStack& history = app.ctx.document.history();
    const int stepsBefore = history.index();
    w->useMapButton()->click();
    EXPECT_EQ(history.index(), stepsBefore + 1);
    EXPECT_EQ(history.undoText(), "Use Tempo Map");
    EXPECT_EQ(app.model.bpm(), "120");
    EXPECT_EQ(app.model.gap(), "700");
    const std::vector<TempoCell> written{{32 * kFineRowsPerBeat, BPMCHANNEL, 150.0},
                                         {64 * kFineRowsPerBeat, FREEZECHANNEL, 250.0}};
    EXPECT_EQ(app.model.songTempoCells(), written);
    history.undo();
    EXPECT_EQ(app.model.bpm(), "100");
    EXPECT_EQ(app.model.gap(), "0");
    EXPECT_EQ(app.model.songTempoCells(), cellsBefore);
}

} // namespace

// A Beginner chart and an Edit chart written through the windows as a user
// writes them: the summary window's buttons and Edit-chart list, the step
// editor's snap and note-kind boxes, Goto bar and presses on the grid; then
// File > Save, File > Open and File > Export to .ssc, and the notes of the
// exported file read back bar by bar.
#include "core/edit/gridgeometry.h"
#include "core/edit/snaps.h"
#include "core/song/songmodel.h"
#include "summarywindowtest.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

// One press on the grid: the bar, the snap and the row of the snap (from 0),
// the grid column (the panel), the kind chosen in the box, and the button.
struct Press {
    int bar, snap, row, panel;
    NoteKind chosen;
    Qt::MouseButton button = Qt::LeftButton;
    Qt::KeyboardModifiers mods = {};
};

// A bar of a chart's note data in the exported file: its number and its
// lines, one per row of the bar.
struct Measure {
    int bar;
    QStringList lines;
};

// The lines of a measure: `count` rows of `width` zeros with the given rows
// set.
QStringList measureLines(int count, int width, std::initializer_list<std::pair<int, QString>> set) {
    QStringList lines(count, QString(width, u'0'));
    for (const auto& [row, text] : set)
        lines[row] = text;
    return lines;
}

class ChartsThroughWindows : public test::SummaryWindowTest {
  protected:
    // The step editor the summary window opened.
    static QWidget* editor() {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QStringLiteral("Kolvo") && w->isVisible())
                return w;
        return nullptr;
    }

    // Presses on the open editor's grid, moving to each press's bar and
    // snap through the editor's own controls.
    void write(const std::vector<Press>& presses) {
        QWidget* e = editor();
        ASSERT_NE(e, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(e));
        auto* grid = child<QWidget>(e, "ShapeArray");
        auto* snapBox = child<QComboBox>(e, "snapbox");
        auto* kindBox = child<QComboBox>(e, "notekindbox");
        auto* gotobat = child<QLineEdit>(e, "gotobat");
        auto* gotoButton = child<QPushButton>(e, "Command84");
        for (const Press& p : presses) {
            gotobat->setText(QString::number(p.bar));
            gotoButton->click();
            ASSERT_EQ(child<QLineEdit>(e, "barnumber")->text(), QString::number(p.bar));
            snapBox->setCurrentIndex(snapBox->findData(p.snap));
            kindBox->setCurrentIndex(kindBox->findData(int(p.chosen)));
            const int pitch = grid::rowPitchAt(p.snap);
            const int y = grid::kOriginY + pitch * p.row + pitch / 2;
            QTest::mousePress(grid, p.button, p.mods,
                              QPoint(twips(grid::columnLeft(p.panel)) + 16, twips(y)));
        }
        e->close();
        QApplication::processEvents();
        ASSERT_TRUE(summary->isEnabled());
    }

    // The measures of the chart in `ssc` with this difficulty (and
    // description): the text between #NOTES: and its ';', cut at the commas.
    static QStringList measuresOf(const QString& ssc, const QString& difficulty,
                                  const QString& description = {}) {
        for (const QString& section : ssc.split(QStringLiteral("#NOTEDATA:"))) {
            if (!section.contains(QStringLiteral("#DIFFICULTY:") + difficulty + u';') ||
                !section.contains(QStringLiteral("#DESCRIPTION:") + description + u';'))
                continue;
            const qsizetype start = section.indexOf(QStringLiteral("#NOTES:"));
            if (start < 0)
                return {};
            const qsizetype end = section.indexOf(u';', start);
            QString notes = section.mid(start + 7, end - start - 7);
            notes.remove(u'\r');
            QStringList measures = notes.split(u',');
            for (QString& m : measures)
                m = m.trimmed();
            return measures;
        }
        return {};
    }

    // Every measure of the chart is as expected: the listed ones hold their
    // lines, all others only zeros; nothing runs past the last listed bar.
    static void expectNotes(const QStringList& measures, const std::vector<Measure>& expected,
                            const char* chart) {
        ASSERT_EQ(measures.size(), expected.back().bar) << chart;
        std::size_t next = 0;
        for (int bar = 1; bar <= int(measures.size()); ++bar) {
            const QStringList lines = measures[bar - 1].split(u'\n', Qt::SkipEmptyParts);
            if (next < expected.size() && expected[next].bar == bar) {
                EXPECT_EQ(lines, expected[next].lines) << chart << " bar " << bar;
                ++next;
                continue;
            }
            for (const QString& line : lines)
                ASSERT_TRUE(line.count(u'0') == line.size()) << chart << " bar " << bar;
        }
    }
};

TEST_F(ChartsThroughWindows, BeginnerAndEditChartsSurviveSaveOpenAndSscExport) {
    // Single Beginner, from its button under the chart table.
    child<QPushButton>(summary.get(), "beginner1")->click();
    write({
        {101, 12, 1, PanelLeft, NoteKind::Arrow},
        {101, 24, 5, PanelDown, NoteKind::Arrow, Qt::LeftButton, Qt::ShiftModifier}, // mine
        {102, 64, 3, PanelUp, NoteKind::Lift},
        {102, 192, 100, PanelRight, NoteKind::Fake},
        {103, 4, 0, PanelLeft, NoteKind::Arrow, Qt::RightButton, Qt::ShiftModifier}, // roll
        {103, 4, 2, PanelLeft, NoteKind::Arrow},
    });

    // A Double Edit chart, made and opened from the Edit-chart list.
    child<QComboBox>(summary.get(), "editchartstyle")->setCurrentIndex(Double - 1);
    QTest::keyClicks(child<QLineEdit>(summary.get(), "editchartname"), "Wild ride");
    child<QPushButton>(summary.get(), "neweditchart")->click();
    auto* list = child<QListWidget>(summary.get(), "editchartlist");
    ASSERT_EQ(list->count(), 1);
    EXPECT_EQ(list->currentItem()->text(), "Double Edit (Wild ride)");
    child<QPushButton>(summary.get(), "openeditchart")->click();
    write({
        {120, 192, 1, PanelLeft2, NoteKind::Fake},
        {120, 12, 7, PanelRight, NoteKind::Lift},
        {150, 24, 3, PanelDown, NoteKind::Mine},
        {150, 64, 10, PanelUp2, NoteKind::Arrow},
        {200, 4, 0, PanelRight2, NoteKind::RollStart},
        {200, 12, 4, PanelRight2, NoteKind::Arrow},
    });
    EXPECT_TRUE(app.boxes.shown.isEmpty()) << app.boxes.last().text.toStdString();

    // Save, then open what was saved.
    const QString work = app.path("song.kolvo");
    app.dialogs.answers = {work};
    summary->menuAction(QStringLiteral("savemenu"))->trigger();
    ASSERT_TRUE(QFile::exists(work));
    app.ctx.document.newSong();
    ASSERT_EQ(list->count(), 0);
    app.boxes.answers = {MsgAnswer::No}; // "save your current stepfile?"
    app.dialogs.answers = {work};
    summary->menuAction(QStringLiteral("openmenu"))->trigger();
    ASSERT_EQ(list->count(), 1) << (app.boxes.shown.isEmpty()
                                        ? std::string()
                                        : app.boxes.last().text.toStdString());
    EXPECT_EQ(list->item(0)->text(), "Double Edit (Wild ride)");

    // Export to .ssc: no save question (nothing changed since the open).
    const QString out = app.path("song.ssc");
    app.boxes.shown.clear();
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {out};
    summary->menuAction(QStringLiteral("sscmenu"))->trigger();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << app.boxes.last().text.toStdString();
    const QString ssc = QString::fromUtf8(f.readAll());
    // For a look with other tools: KOLVO_KEEP_SSC=/some/song.ssc keeps the
    // export there and the work file beside it (song.ssc.kolvo).
    if (const QByteArray keep = qgetenv("KOLVO_KEEP_SSC"); !keep.isEmpty()) {
        QFile::copy(out, QString::fromLocal8Bit(keep));
        QFile::copy(work, QString::fromLocal8Bit(keep) + ".kolvo");
    }

    expectNotes(measuresOf(ssc, "Beginner"),
                {
                    {101, measureLines(24, 4, {{2, "1000"}, {5, "0M00"}})},
                    {102, measureLines(192, 4, {{9, "00L0"}, {100, "000F"}})},
                    {103, measureLines(4, 4, {{0, "4000"}, {2, "3000"}})},
                },
                "Single Beginner");
    EXPECT_TRUE(ssc.contains("#STEPSTYPE:dance-single;"));
    expectNotes(measuresOf(ssc, "Edit", "Wild ride"),
                {
                    {120, measureLines(192, 8, {{1, "0000F000"}, {112, "000L0000"}})},
                    {150, measureLines(32, 8, {{4, "0M000000"}, {5, "00000010"}})},
                    {200, measureLines(12, 8, {{0, "00000004"}, {4, "00000003"}})},
                },
                "Double Edit");
    EXPECT_TRUE(ssc.contains("#STEPSTYPE:dance-double;"));
}

} // namespace

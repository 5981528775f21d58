// Edit charts: made, renamed, deleted and opened from the summary window's
// list, each change one step of the history; a deleted chart comes back
// whole on undo; the step editor and its tools write into the Edit chart
// they were opened on.
#include "core/edit/gridgeometry.h"
#include "core/song/songmodel.h"
#include "summarywindowtest.h"
#include "ui/summary/editchartspanel.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

Chart editChart(int style, const QString& description, int notes) {
    Chart c;
    c.style = style;
    c.level = Edit;
    c.description = description;
    c.footlevels = Value::number(7);
    c.dataexists = Value::number(1);
    for (int i = 0; i < notes; ++i)
        c.steps.setKind(110 + i, 5 * i, PanelUp, NoteKind::Mine);
    return c;
}

class EditCharts : public test::SummaryWindowTest {
  protected:
    QListWidget* list() { return child<QListWidget>("editchartlist"); }
    QStringList shown() {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            names << list()->item(i)->text();
        return names;
    }
    void make(int style, const QString& description) {
        child<QComboBox>("editchartstyle")->setCurrentIndex(style - 1);
        child<QLineEdit>("editchartname")->setText(description);
        child<QPushButton>("neweditchart")->click();
    }
    void select(int row) { list()->setCurrentRow(row); }
    QUndoStack& history() { return app.ctx.document.history(); }
};

TEST_F(EditCharts, MakeRenameAndDeleteAreStepsOfTheHistory) {
    make(Single, "Warm-up");
    make(Solo, "Warm-up"); // the same name in another style is another chart
    EXPECT_EQ(shown(), QStringList({"Single Edit (Warm-up)", "Solo Edit (Warm-up)"}));
    EXPECT_EQ(history().undoText(), "New Solo Edit (Warm-up)");
    EXPECT_TRUE(app.boxes.shown.isEmpty());

    select(0);
    child<QLineEdit>("editchartname")->setText("Stamina");
    child<QPushButton>("renameeditchart")->click();
    EXPECT_EQ(shown(), QStringList({"Single Edit (Stamina)", "Solo Edit (Warm-up)"}));
    EXPECT_EQ(history().undoText(), "Rename Single Edit (Warm-up)");

    // Delete asks as a chart of the table does; No keeps the chart.
    select(0);
    app.boxes.answers = {MsgAnswer::No};
    child<QPushButton>("deleteeditchart")->click();
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "WARNING! This will delete the entire Single Edit (Stamina) "
                                     "step sequence! Are you sure you want to continue?");
    EXPECT_EQ(app.boxes.last().title, "Are you sure?");
    EXPECT_EQ(app.boxes.last().buttons, MsgButtons::YesNo);
    EXPECT_EQ(shown().size(), 2);
    app.boxes.answers = {MsgAnswer::Yes};
    child<QPushButton>("deleteeditchart")->click();
    EXPECT_EQ(shown(), QStringList({"Solo Edit (Warm-up)"}));

    // Each step undoes back to the empty song, and redoes forward again.
    const QStringList states[] = {
        {"Single Edit (Stamina)", "Solo Edit (Warm-up)"},
        {"Single Edit (Warm-up)", "Solo Edit (Warm-up)"},
        {"Single Edit (Warm-up)"},
        {},
    };
    for (const QStringList& state : states) {
        summary->menuAction(QStringLiteral("undomenu"))->trigger();
        EXPECT_EQ(shown(), state);
    }
    while (history().canRedo())
        history().redo();
    EXPECT_EQ(shown(), QStringList({"Solo Edit (Warm-up)"}));
}

TEST_F(EditCharts, ADescriptionThatCannotNameAChartIsRefusedAndChangesNothing) {
    make(Double, "Taken");
    struct Case {
        int style;
        const char* description;
        const char* says;
    };
    const Case cases[] = {
        {Double, "", "Type a description"},
        {Double, "   ", "Type a description"},
        {Double, "Taken", "Double already has an Edit chart named \"Taken\"."},
        {Double, " Taken", "cannot begin or end with a blank"},
        {Double, "a:b", "cannot hold"},
        {Double, "a;b", "cannot hold"},
        {Double, "#NOTES", "cannot hold"},
        {Double, "two\nlines", "cannot hold"},
    };
    const int steps = history().count();
    for (const Case& c : cases) {
        app.boxes.shown.clear();
        make(c.style, QString::fromUtf8(c.description));
        ASSERT_EQ(app.boxes.shown.size(), 1) << c.description;
        EXPECT_TRUE(app.boxes.last().text.contains(QString::fromUtf8(c.says)))
            << c.description << ": " << app.boxes.last().text.toStdString();
        EXPECT_EQ(history().count(), steps) << c.description;
        EXPECT_EQ(shown(), QStringList({"Double Edit (Taken)"})) << c.description;
    }
    // Renaming a chart to its own name is no problem (and no step).
    select(0);
    child<QLineEdit>("editchartname")->setText("Taken");
    child<QPushButton>("renameeditchart")->click();
    EXPECT_EQ(history().count(), steps);
    // Nothing selected: the commands that need a chart are off.
    list()->clearSelection();
    EXPECT_FALSE(child<QPushButton>("renameeditchart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("deleteeditchart")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("openeditchart")->isEnabled());
}

TEST_F(EditCharts, UndoingADeleteGivesTheChartBackWholeAtItsPlace) {
    Chart first = editChart(Single, "First", 3);
    first.timing = std::make_shared<TimingData>();
    first.kept.append(qMakePair(QByteArray("CREDIT"), QByteArray("someone")));
    app.model.addChart(first);
    app.model.addChart(editChart(Single, "Second", 2));
    app.model.addChart(editChart(Couple, "Third", 1));
    app.ctx.document.loadSong(app.model, QString());
    SongModel before;
    before.copySongFrom(app.model);

    const ChartSlot slot = ChartSlot(kChartSlots);
    app.ctx.document.removeChart(slot);
    ASSERT_EQ(app.model.chartSlots(), int(kChartSlots) + 2);
    EXPECT_EQ(app.model.chart(slot).description, "Second");
    EXPECT_EQ(shown(), QStringList({"Single Edit (Second)", "Couple Edit (Third)"}));
    history().undo();
    EXPECT_TRUE(app.model.sameSongAs(before));
    EXPECT_EQ(shown(),
              QStringList({"Single Edit (First)", "Single Edit (Second)", "Couple Edit (Third)"}));
    history().redo();
    EXPECT_EQ(app.model.chart(slot).description, "Second");

    // The table's charts are not removed this way.
    const int steps = history().count();
    app.ctx.document.removeChart(SongModel::slotOf(Single, Basic));
    EXPECT_EQ(history().count(), steps);
}

TEST_F(EditCharts, TheEditorAndItsToolsWriteIntoTheEditChartTheyWereOpenedOn) {
    app.model.addChart(editChart(Single, "Other", 0));
    app.ctx.document.loadSong(app.model, QString());
    make(Single, "Mine");
    const ChartSlot mine = ChartSlot(kChartSlots) + 1;
    select(1);
    child<QPushButton>("openeditchart")->click();
    QWidget* editor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "Kolvo" && w->isVisible())
            editor = w;
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(summary->isEnabled());
    // Opening gives the chart data and foot level 1, as for a chart of the table.
    EXPECT_TRUE(app.model.hasData(mine));
    EXPECT_EQ(editor->findChild<QLineEdit*>(QStringLiteral("footlevel"))->text(), "1");

    auto* grid = editor->findChild<QWidget*>(QStringLiteral("ShapeArray"));
    ASSERT_NE(grid, nullptr);
    QTest::mousePress(grid, Qt::LeftButton, {},
                      QPoint(twips(grid::columnLeft(PanelUp)) + 16, twips(grid::kOriginY) + 4));
    EXPECT_EQ(app.model.chartSteps(mine).size(), 1u);
    EXPECT_TRUE(app.model.chartSteps(ChartSlot(kChartSlots)).empty());
    EXPECT_TRUE(app.model.chartSteps(Single, Basic).empty());

    // The foot level box writes the Edit chart's foot level.
    auto* footlevel = editor->findChild<QLineEdit*>(QStringLiteral("footlevel"));
    footlevel->setText("9");
    EXPECT_EQ(app.model.chart(mine).footlevels.toText(), "9");

    // The editor's Undo takes back this chart's steps, and names the step
    // that made the chart as one it cannot take back.
    auto* undo = editor->findChild<QAction*>(QStringLiteral("undomenu"));
    ASSERT_NE(undo, nullptr);
    undo->trigger();
    undo->trigger();
    EXPECT_TRUE(app.model.chartSteps(mine).empty());
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(undo->text().startsWith("&Undo New Single Edit (Mine)"))
        << undo->text().toStdString();
    editor->close();
    QApplication::processEvents();
    EXPECT_TRUE(summary->isEnabled());
}

} // namespace

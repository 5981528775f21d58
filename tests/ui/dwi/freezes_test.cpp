// The tempo-event window: the list built from the song, the checks of Add
// BPM Change and Add Arrow Freeze with their messages, Delete by the fixed
// character places, and the summary window disabled while it is open.
#include "core/dwi/dwiwriter.h"
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/dwi/freezes.h"
#include "ui/summary/songsummarywindow.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

const QString kBar = "Invalid Bar Value: needed: whole number from 1 to 9999";
const QString kBeat = "Invalid Beat Value: needed: 1, 2, 3 or 4";
const QString kBpm = "Invalid BPM value.";
const QString kFreeze = "Invalid Freeze Time value.";

class FreezesTest : public ::testing::Test {
  protected:
    test::TestApp app;
    QWidget summary;
    QPointer<Freezes> f;

    void SetUp() override {
        app.model.resetparameters();
        open();
    }
    void TearDown() override { delete f; }
    void open() {
        delete f;
        f = new Freezes(app.ctx, &summary);
        f->show();
    }
    QLineEdit* text(int n) { return f->findChild<QLineEdit*>(QString("Text%1").arg(n)); }
    QPushButton* command(int n) { return f->findChild<QPushButton*>(QString("Command%1").arg(n)); }
    QListWidget* list() { return f->findChild<QListWidget*>("List1"); }
    QStringList lines() {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out << list()->item(i)->text();
        return out;
    }
    // Fills a frame and presses its button: BPM (first = 1) or freeze (4).
    void add(int first, const QString& bar, const QString& beat, const QString& value) {
        text(first)->setText(bar);
        text(first + 1)->setText(beat);
        text(first + 2)->setText(value);
        command(first == 1 ? 3 : 4)->click();
    }
    bool anyTempo() const { return !app.model.songTempoCells().empty(); }
};

TEST_F(FreezesTest, CaptionsAndNames) {
    EXPECT_EQ(f->objectName(), "Freezes");
    EXPECT_EQ(f->windowTitle(), "Set Freeze/BPM Changes");
    EXPECT_EQ(command(1)->text(), "Return to Song Summary");
    EXPECT_EQ(command(2)->text(), "Delete selected item");
    EXPECT_EQ(command(3)->text(), "Add BPM Change");
    EXPECT_EQ(command(4)->text(), "Add Arrow Freeze");
    for (int n = 1; n <= 6; ++n)
        EXPECT_NE(text(n), nullptr);
}

TEST_F(FreezesTest, BadFieldsAreRefusedInOrderAndKept) {
    struct Case {
        QString bar, beat, value;
        QString bpmMessage, freezeMessage;
    };
    const Case cases[] = {
        {"0", "1", "120", kBar, kBar},    {"10000", "1", "120", kBar, kBar},
        {"5.5", "1", "120", kBar, kBar},  {"05", "1", "120", kBar, kBar},
        {"", "1", "120", kBar, kBar},     {" 5", "1", "120", kBar, kBar},
        {"5.0", "x", "x", kBar, kBar},    {"5", "0", "120", kBeat, kBeat},
        {"5", "5", "120", kBeat, kBeat},  {"5", "2.5", "120", kBeat, kBeat},
        {"5", "", "x", kBeat, kBeat},     {"5", "2", "0.5", kBpm, kFreeze},
        {"5", "2", "0", kBpm, kFreeze},   {"5", "2", "-120", kBpm, kFreeze},
        {"5", "2", "", kBpm, kFreeze},    {"5", "2", "120.0", kBpm, kFreeze},
        {"5", "2", "1e3", kBpm, kFreeze}, {"5", "2", "120 ", kBpm, kFreeze},
    };
    for (const Case& c : cases) {
        for (int first : {1, 4}) {
            SCOPED_TRACE(
                (QStringList{c.bar, c.beat, c.value}.join('|') + (first == 1 ? " bpm" : " freeze"))
                    .toStdString());
            app.boxes.shown.clear();
            add(first, c.bar, c.beat, c.value);
            ASSERT_EQ(app.boxes.shown.size(), 1);
            EXPECT_EQ(app.boxes.last().text, first == 1 ? c.bpmMessage : c.freezeMessage);
            EXPECT_EQ(app.boxes.last().title, "Kolvo");
            EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
            EXPECT_EQ(text(first)->text(), c.bar);
            EXPECT_EQ(text(first + 1)->text(), c.beat);
            EXPECT_EQ(text(first + 2)->text(), c.value);
            EXPECT_EQ(list()->count(), 0);
            EXPECT_FALSE(anyTempo());
        }
    }
}

// The box says bars up to 9999 are taken; bars past the old 100 are.
TEST_F(FreezesTest, BarsPastTheOldHundredAreAccepted) {
    add(1, "150", "1", "200");
    add(4, "9999", "4", "250");
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(lines(),
              (QStringList{"At 150:1, BPM changes to 200", "At 9999:4, freeze for 250ms"}));
    EXPECT_EQ(app.model.tempo(1, 1, 150, 1, BPMCHANNEL), 200);
    EXPECT_EQ(app.model.tempo(1, 1, 9999, 4, FREEZECHANNEL), 250);
}

TEST_F(FreezesTest, AcceptedEventsAreStoredListedSortedAndExported) {
    add(1, "7", "2", "180");
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(lines(), QStringList{"At 007:2, BPM changes to 180"});
    EXPECT_EQ(app.model.tempo(1, 1, 7, 2, BPMCHANNEL), 180);
    for (int n = 1; n <= 3; ++n)
        EXPECT_EQ(text(n)->text(), "");
    EXPECT_EQ(BuildTempoList(app.model, BPMCHANNEL), "#CHANGEBPM:100=180;");

    add(1, "100", "4", ".5");
    add(4, "7", "2", "500");
    add(4, "12", "3", "62.5");
    add(1, "1", "1", "90");
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(app.model.tempo(1, 1, 100, 4, BPMCHANNEL), 0.5);
    EXPECT_EQ(app.model.tempo(1, 1, 12, 3, FREEZECHANNEL), 62.5);
    const QStringList expected{"At 001:1, BPM changes to 90", "At 007:2, BPM changes to 180",
                               "At 007:2, freeze for 500ms", "At 012:3, freeze for 62.5ms",
                               "At 100:4, BPM changes to .5"};
    EXPECT_EQ(lines(), expected);
    // Opened again, the list is built from the song in the same order.
    open();
    EXPECT_EQ(lines(), expected);
}

TEST_F(FreezesTest, DeleteClearsTheStoredEventAtTheLinesPlace) {
    app.model.setTempo(1, 1, 42, 3, BPMCHANNEL, 150);
    app.model.setTempo(1, 1, 42, 3, FREEZECHANNEL, 250);
    open();
    ASSERT_EQ(lines(), (QStringList{"At 042:3, BPM changes to 150", "At 042:3, freeze for 250ms"}));

    command(2)->click(); // no selection: nothing happens
    EXPECT_EQ(list()->count(), 2);

    // Replacing the BPM change replaces its line: the list never shows a
    // value the song no longer holds.
    add(1, "42", "3", "160");
    EXPECT_EQ(lines(), (QStringList{"At 042:3, BPM changes to 160", "At 042:3, freeze for 250ms"}));
    list()->setCurrentRow(0);
    command(2)->click();
    EXPECT_FALSE(app.model.hasTempo(1, 1, 42, 3, BPMCHANNEL));
    EXPECT_EQ(app.model.tempo(1, 1, 42, 3, FREEZECHANNEL), 250);
    EXPECT_EQ(lines(), QStringList{"At 042:3, freeze for 250ms"});
    add(1, "42", "3", "160");

    ASSERT_EQ(lines(), (QStringList{"At 042:3, BPM changes to 160", "At 042:3, freeze for 250ms"}));
    list()->setCurrentRow(1);
    command(2)->click();
    EXPECT_FALSE(app.model.hasTempo(1, 1, 42, 3, FREEZECHANNEL));
    EXPECT_EQ(lines(), QStringList{"At 042:3, BPM changes to 160"});
}

TEST_F(FreezesTest, SummaryWindowIsDisabledWhileOpenHoweverItCloses) {
    EXPECT_FALSE(summary.isEnabled());
    command(1)->click();
    EXPECT_TRUE(summary.isEnabled());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(f.isNull()); // deleted on close

    open();
    EXPECT_FALSE(summary.isEnabled());
    f->close(); // the close box
    EXPECT_TRUE(summary.isEnabled());

    open();
    EXPECT_FALSE(summary.isEnabled());
    delete f; // destroyed without closing
    EXPECT_TRUE(summary.isEnabled());
}

TEST(FreezesFromSummary, Command17OpensItOverTheSummaryWindow) {
    test::TestApp app;
    SongSummaryWindow w(app.ctx);
    w.show();
    w.findChild<QPushButton*>("Command17")->click();
    QWidget* freezes = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->objectName() == "Freezes" && top->isVisible())
            freezes = top;
    ASSERT_NE(freezes, nullptr);
    EXPECT_FALSE(w.isEnabled());
    freezes->findChild<QLineEdit*>("Text1")->setText("3");
    freezes->findChild<QLineEdit*>("Text2")->setText("1");
    freezes->findChild<QLineEdit*>("Text3")->setText("200");
    freezes->findChild<QPushButton*>("Command3")->click();
    EXPECT_EQ(app.model.tempo(1, 1, 3, 1, BPMCHANNEL), 200);
    freezes->findChild<QPushButton*>("Command1")->click();
    EXPECT_TRUE(w.isEnabled());
}

} // namespace

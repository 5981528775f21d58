// File > Import Step File: the menu item, the save question and the dialog,
// a song read without loss, the list of losses shown before the song, and a
// refused file or a cancelled dialog that leave the song as it was.
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/importlosses.h"
#include "ui/summary/songsummarywindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kolvo;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

const QString kImportFilter =
    "Step files (*.dwi *.sm *.ssc)|*.dwi;*.sm;*.ssc|Dance With Intensity (*.dwi)|*.dwi|"
    "StepMania (*.sm)|*.sm|StepMania 5 (*.ssc)|*.ssc|All files (*.*)|*.*";

const QByteArray kCleanSm = "#TITLE:Imported;#ARTIST:Someone;#MUSIC:song.ogg;#OFFSET:-0.1;"
                            "#BPMS:0=140;#NOTES:dance-double::Hard:8::20000000\n30000001;";
const QByteArray kLossySm =
    "#TITLE:Lossy;#BPMS:0=140,oops;#NOTES:dance-single::Easy:3::2000\n0100;";

// Runs `whileOpen` on the losses window once it is up; the callback closes it.
void whenLossesShow(std::function<void(QWidget*)> whileOpen, bool* seen) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, whileOpen, seen, ticks] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == "ImportLosses") {
            poll->stop();
            poll->deleteLater();
            *seen = true;
            whileOpen(modal);
        } else if (++*ticks > 1000) {
            poll->stop();
            poll->deleteLater();
            if (modal)
                modal->close();
        }
    });
    poll->start();
}

class ImportCommand : public ::testing::Test {
  protected:
    test::TestApp app;
    std::unique_ptr<SongSummaryWindow> w;

    void SetUp() override {
        w = std::make_unique<SongSummaryWindow>(app.ctx);
        SongModel& m = app.model;
        m.setField(SummaryField::SongName, "Old Song");
        m.setField(SummaryField::Bpm, "150");
        m.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
        m.setDataexists(Single, Basic, Value::number(1));
        w->datacheck();
    }
    bool songIntact() const {
        return app.model.songname() == "Old Song" && app.model.bpm() == "150" &&
               app.model.hasData(Single, Basic) &&
               app.model.step(Single, Basic, 1, 1, PanelLeft) == StepArrow &&
               w->chartButton(1)->text() == "Data";
    }
};

TEST_F(ImportCommand, MenuItemFollowsOpen) {
    QAction* item = w->menuAction("importmenu");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->text(), "&Import Step File...");
    EXPECT_EQ(item->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    const QList<QAction*> items = w->findChild<QMenu*>("filemenu")->actions();
    const qsizetype open = items.indexOf(w->menuAction("openmenu"));
    ASSERT_GE(open, 0);
    EXPECT_EQ(items.value(open + 1), item);
}

TEST_F(ImportCommand, ASongWithoutLossReplacesTheOldOne) {
    const QString path = app.writeFile("packs/one/song.sm", kCleanSm);
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {path};
    w->menuAction("importmenu")->trigger();

    ASSERT_EQ(app.boxes.shown.size(), 1); // the save question only: nothing was lost
    EXPECT_EQ(app.boxes.shown[0].text, "Do you want to save your current stepfile?");
    ASSERT_EQ(app.dialogs.asked.size(), 1);
    EXPECT_EQ(app.dialogs.asked[0].mode, FileDialogRequest::Mode::Open);
    EXPECT_EQ(app.dialogs.asked[0].filter, kImportFilter);
    EXPECT_TRUE(app.dialogs.asked[0].fileMustExist);

    EXPECT_EQ(app.model.songname(), "Imported");
    EXPECT_EQ(w->windowTitle(), "Imported - Kolvo DWI Creator");
    EXPECT_EQ(w->findChild<QLineEdit*>("gap")->text(), "100");
    EXPECT_EQ(w->findChild<QLineEdit*>("bpm")->text(), "140");
    EXPECT_EQ(app.model.musicadd(), QFileInfo(path).absolutePath() + "/song.ogg");
    EXPECT_EQ(app.model.step(Double, Maniac, 1, 1, PanelLeft), StepFreezeStart);
    EXPECT_EQ(app.model.step(Double, Maniac, 1, 17, PanelRight2), StepArrow);
    for (int n = 1; n <= 16; ++n)
        EXPECT_EQ(w->chartButton(n)->text(), n == 10 ? "Data" : "No Data") << n;
    EXPECT_TRUE(w->isEnabled());

    // The imported file is no work file: Save asks, starting in its folder.
    app.dialogs.answers = {std::nullopt};
    w->menuAction("savemenu")->trigger();
    ASSERT_EQ(app.dialogs.asked.size(), 2);
    EXPECT_EQ(app.dialogs.asked[1].mode, FileDialogRequest::Mode::Save);
    EXPECT_EQ(app.dialogs.asked[1].initialDir, QFileInfo(path).absolutePath() + "/");
    EXPECT_EQ(app.dialogs.asked[1].fileName, "");
}

TEST_F(ImportCommand, LossesAreShownBeforeTheSongAndCanBeCopied) {
    const QString path = app.writeFile("lossy.sm", kLossySm);
    app.boxes.answers = {MsgAnswer::No};
    app.dialogs.answers = {path};
    bool seen = false;
    QString listed, heading, songWhileOpen;
    whenLossesShow(
        [&](QWidget* window) {
            listed = window->findChild<QPlainTextEdit*>("losslist")->toPlainText();
            heading = window->findChild<QLabel*>("heading")->text();
            songWhileOpen = app.model.songname();
            window->findChild<QPushButton*>("copybutton")->click();
            window->findChild<QPushButton*>("closebutton")->click();
        },
        &seen);
    w->menuAction("importmenu")->trigger();

    ASSERT_TRUE(seen);
    EXPECT_EQ(songWhileOpen, "Old Song");
    EXPECT_EQ(heading, "lossy.sm holds 2 things the song cannot hold. The song was imported "
                       "without them:");
    EXPECT_EQ(listed, "The whole song\n"
                      "    the #BPMS entry \"oops\" (line 1) is not beat=value; it was left out\n"
                      "Single Basic\n"
                      "    bar 1 beat 1: a freeze with no end dropped\n");
    EXPECT_EQ(QApplication::clipboard()->text(),
              "the #BPMS entry \"oops\" (line 1) is not beat=value; it was left out\n"
              "Single Basic, bar 1 beat 1: a freeze with no end dropped\n");
    EXPECT_EQ(app.model.songname(), "Lossy");
    EXPECT_EQ(app.model.step(Single, Basic, 1, 17, PanelDown), StepArrow);
    EXPECT_EQ(w->chartButton(1)->text(), "Data");
    EXPECT_EQ(app.boxes.shown.size(), 1);
}

TEST_F(ImportCommand, ARefusedFileOrACancelLeavesTheSongAsItWas) {
    const QString cut = app.writeFile("cut.dwi", "#TITLE:Cut;\n#SINGLE:BASIC:1:4000");
    struct Case {
        const char* what;
        MsgAnswer answer;
        bool dialogAsked;
        std::optional<QString> chosen;
        QString message; // the box after the save question, if any
    };
    const Case cases[] = {
        {"cut short", MsgAnswer::No, true, cut,
         "Kolvo could not import this file.\n\n" + cut +
             ":2: the file ends inside the #SINGLE tag, before its \";\": it looks cut short"},
        {"a folder", MsgAnswer::No, true, app.dir.path(),
         "Kolvo could not import this file.\n\n" + app.dir.path() +
             ": is a folder, not a regular file; only regular files can be opened"},
        {"dialog cancelled", MsgAnswer::No, true, std::nullopt, {}},
        {"save question cancelled", MsgAnswer::Cancel, false, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        app.boxes.shown.clear();
        app.dialogs.asked.clear();
        app.boxes.answers = {c.answer};
        app.dialogs.answers = {c.chosen};
        w->menuAction("importmenu")->trigger();
        EXPECT_EQ(app.dialogs.asked.size(), c.dialogAsked ? 1 : 0);
        ASSERT_EQ(app.boxes.shown.size(), c.message.isEmpty() ? 1 : 2);
        if (!c.message.isEmpty()) {
            EXPECT_EQ(app.boxes.last().text, c.message);
            EXPECT_EQ(app.boxes.last().icon, MsgIcon::Critical);
        }
        EXPECT_TRUE(songIntact());
        EXPECT_EQ(app.ctx.session.dialogcancelled, 0);
        EXPECT_TRUE(w->isEnabled());
        app.dialogs.answers.clear();
    }
}

} // namespace

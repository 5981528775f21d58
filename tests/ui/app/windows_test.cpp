// The folder dialogs on their own, the about box with its system
// information program, and the help windows.
#include "apptestutil.h"
#include "testapp.h"

#include "core/app/startuprules.h"
#include "ui/app/aboutform.h"
#include "ui/app/folderdialogs.h"
#include "ui/app/folderlist.h"
#include "ui/app/freezearrowhelp.h"
#include "ui/app/infowindows.h"
#include "ui/platform/settings.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {
class WindowsTest : public ::testing::Test {
  protected:
    void SetUp() override { freshSettingsAndLog(); }
    void TearDown() override { closeAllTestWindows(); }
};

QStringList labelTexts(const QWidget* w) {
    QStringList texts;
    const auto labels = w->findChildren<QLabel*>();
    for (const QLabel* l : labels)
        texts << l->text();
    return texts;
}
} // namespace

TEST_F(WindowsTest, FolderDialogStoresTheChosenFolderWithoutTrailingSlash) {
    TestApp app;
    WindowsClosedAtEnd closeWindows;
    QDir().mkpath(app.path(QStringLiteral("music/player")));
    struct Case {
        bool simulator;
        QString folder;
        QString stored;
    };
    const Case cases[] = {
        {true, QStringLiteral("/"), QStringLiteral("/")}, // a drive root stays the root
        {true, app.path(QStringLiteral("music")) + u'/', app.path(QStringLiteral("music"))},
        {false, QStringLiteral("/"), QStringLiteral("/")},
        {false, app.path(QStringLiteral("music/player")), app.path(QStringLiteral("music/player"))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        for (int goahead : {0, 10}) {
            app.ctx.goahead = goahead;
            QWidget setAside;
            FolderLocationDialog* d =
                c.simulator
                    ? static_cast<FolderLocationDialog*>(new DDRLocation(app.ctx, &setAside))
                    : new WinampLocation(app.ctx, &setAside);
            QPointer<FolderLocationDialog> open = d;
            d->show();
            EXPECT_FALSE(setAside.isEnabled());
            ASSERT_TRUE(d->folderList->setPath(c.folder));
            d->okButton->click();
            ASSERT_TRUE(waitUntil([&] { return open.isNull(); }));
            EXPECT_TRUE(setAside.isEnabled());
            EXPECT_EQ(app.ctx.goahead, goahead == 0 ? (c.simulator ? 1 : 2) : 10);
            const QString key = c.simulator ? kSimulatorKey : kPlayerKey;
            EXPECT_EQ(ReadSetting(kDirInfoSection, key, QStringLiteral("<absent>")), c.stored);
            EXPECT_EQ(c.simulator ? app.ctx.simulatorpath : app.ctx.winamppath, c.stored);
        }
    }
}

TEST_F(WindowsTest, FolderDialogCancelOrCloseKeepsTheOldValueAndLetsStartupGoOn) {
    for (bool viaCloseBox : {false, true}) {
        SCOPED_TRACE(viaCloseBox);
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        app.ctx.simulatorpath = QStringLiteral("/old");
        auto* d = new DDRLocation(app.ctx, nullptr);
        QPointer<DDRLocation> open = d;
        d->show();
        d->folderList->setPath(QStringLiteral("/"));
        if (viaCloseBox)
            d->close();
        else
            d->cancelButton->click();
        ASSERT_TRUE(waitUntil([&] { return open.isNull(); }));
        EXPECT_EQ(app.ctx.goahead, 1);
        EXPECT_EQ(app.ctx.simulatorpath, QStringLiteral("/old"));
        EXPECT_EQ(ReadSetting(kDirInfoSection, kSimulatorKey, QStringLiteral("<absent>")),
                  QStringLiteral("<absent>"));
    }
}

TEST_F(WindowsTest, FolderListOpensOnASingleClickAndFollowsTheDriveList) {
    TestApp app;
    WindowsClosedAtEnd closeWindows;
    QDir().mkpath(app.path(QStringLiteral("top/inner")));
    app.ctx.simulatorpath = app.path(QStringLiteral("top"));
    auto* d = new DDRLocation(app.ctx, nullptr);
    d->show();
    EXPECT_EQ(d->folderList->path(),
              app.path(QStringLiteral("top"))); // starts at the stored folder

    const auto found = d->folderList->findItems(QStringLiteral("inner"), Qt::MatchEndsWith);
    ASSERT_EQ(found.size(), 1);
    const QRect r = d->folderList->visualItemRect(found.first());
    QTest::mouseClick(d->folderList->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(d->folderList->path(), app.path(QStringLiteral("top/inner")));

    // The chain above the open folder leads back up with one click.
    const auto up = d->folderList->findItems(QStringLiteral("top"), Qt::MatchEndsWith);
    ASSERT_EQ(up.size(), 1);
    QTest::mouseClick(d->folderList->viewport(), Qt::LeftButton, {},
                      d->folderList->visualItemRect(up.first()).center());
    EXPECT_EQ(d->folderList->path(), app.path(QStringLiteral("top")));

    EXPECT_FALSE(d->folderList->setPath(app.path(QStringLiteral("no such folder"))));
    EXPECT_EQ(d->folderList->path(), app.path(QStringLiteral("top")));

    // Choosing a "drive" opens its top folder.
    const QString home = QDir::cleanPath(QDir::homePath());
    const int homeEntry = d->driveList->findData(home);
    const int rootEntry = d->driveList->findData(QStringLiteral("/"));
    ASSERT_GE(homeEntry, 0);
    ASSERT_GE(rootEntry, 0);
    d->driveList->setCurrentIndex(homeEntry);
    EXPECT_EQ(d->folderList->path(), home);
    d->driveList->setCurrentIndex(rootEntry);
    EXPECT_EQ(d->folderList->path(), QStringLiteral("/"));
    EXPECT_EQ(d->driveList->currentIndex(), rootEntry);
}

TEST_F(WindowsTest, AboutBoxShowsTitleVersionAndStartsSystemInformation) {
    RealLaunchTestApp app;
    WindowsClosedAtEnd closeWindows;
    auto* about = new AboutForm(app.ctx);
    about->show();
    EXPECT_EQ(about->windowTitle(), QStringLiteral("About KolvoDWICreator"));
    EXPECT_EQ(about->titleLabel->text(), QStringLiteral("KolvoDWICreator"));
    EXPECT_EQ(about->versionLabel->text(), QStringLiteral("Version 1.0.1"));
    EXPECT_EQ(about->cmdSysInfo->text(), QStringLiteral("&System Info..."));
    EXPECT_FALSE(about->disclaimerLabel->text().isEmpty());

    // A stand-in system information program on PATH is started.
    ASSERT_TRUE(installArgRecorder(app.path(QStringLiteral("bin/hardinfo"))));
    const QString record = app.path(QStringLiteral("sysinfo.jsonl"));
    setArgRecorderOutput(record);
    {
        PathOverride path(app.path(QStringLiteral("bin")), true);
        about->cmdSysInfo->click();
    }
    const auto run = waitForArgRecord(record);
    ASSERT_TRUE(run.has_value());
    EXPECT_TRUE(run->args.isEmpty());
    EXPECT_TRUE(app.boxes.shown.isEmpty());

    // None on PATH: the message, nothing else.
    {
        PathOverride path(app.path(QStringLiteral("empty")), true);
        about->cmdSysInfo->click();
    }
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text,
              QStringLiteral("System Information Is Unavailable At This Time"));
    EXPECT_EQ(app.boxes.last().buttons, MsgButtons::Ok);
    EXPECT_EQ(app.boxes.last().icon, MsgIcon::None);

    QPointer<AboutForm> open = about;
    about->cmdOK->click();
    EXPECT_TRUE(waitUntil([&] { return open.isNull(); }));
}

TEST_F(WindowsTest, HelpWindowHoldsTheMainWindowWhileOpen) {
    TestApp app;
    WindowsClosedAtEnd closeWindows;
    QWidget mainMenu;
    mainMenu.show();
    auto* help = new HelpInformation(app.ctx, &mainMenu);
    QPointer<HelpInformation> open = help;
    help->show();
    EXPECT_EQ(help->windowTitle(), QStringLiteral("Where to get help"));
    EXPECT_FALSE(mainMenu.isEnabled());
    help->close(); // however it is closed
    ASSERT_TRUE(waitUntil([&] { return open.isNull(); }));
    EXPECT_TRUE(mainMenu.isEnabled());
}

TEST_F(WindowsTest, ArrowHelpAndMusicNoticeShowTheirTexts) {
    auto* arrows = new FreezeArrowHelp;
    arrows->show();
    EXPECT_EQ(arrows->windowTitle(), QStringLiteral("How To Create Arrows and Freeze Arrows"));
    const QStringList arrowTexts = labelTexts(arrows);
    for (const char* t : {"Beat 1", "freeze arrow starts", "freeze arrow ends"})
        EXPECT_TRUE(arrowTexts.contains(QString::fromLatin1(t))) << t;
    EXPECT_TRUE(arrowTexts.contains(QStringLiteral(
        "To start a freeze arrow, right-click where you want it to begin. A green rectangle will "
        "show up. The freeze arrow ends at the next blue rectangle.")));
    EXPECT_EQ(arrows->findChildren<GridMiniature*>().size(), 2);

    auto* music = new MusicInfo;
    music->show();
    EXPECT_EQ(music->windowTitle(), QStringLiteral("MP3 File Location"));
    EXPECT_EQ(music->closeButton->text(), QStringLiteral("Done"));
    EXPECT_TRUE(labelTexts(music).contains(
        QStringLiteral("You now need to provide the music file's full path.")));

    QPointer<QWidget> a = arrows, m = music;
    arrows->closeButton->click();
    music->closeButton->click();
    EXPECT_TRUE(waitUntil([&] { return a.isNull() && m.isNull(); }));
}

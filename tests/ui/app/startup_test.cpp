// The start-up sequence: splash, folder dialogs, auto-display flags, the
// update question or the start-up update check, then the main window.
#include "apptestutil.h"
#include "localhttpserver.h"
#include "testapp.h"

#include "core/app/startuprules.h"
#include "ui/app/checkforupdates.h"
#include "ui/app/folderdialogs.h"
#include "ui/app/folderlist.h"
#include "ui/app/splashwindow.h"
#include "ui/platform/settings.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override { freshSettingsAndLog(); }
    void TearDown() override {
        closeAllTestWindows();
        setDebugLogFromArguments({});
    }

    // Shows a new splash; the main window "opens" by counting.
    QPointer<SplashWindow> start(TestApp& app) {
        auto* s = new SplashWindow(app.ctx, [this] { ++mainOpened; });
        s->setEndProgram([this] { ++ended; });
        s->show();
        return s;
    }
    static void storeFolders(const QString& simulator, const QString& player) {
        WriteSetting(kDirInfoSection, kSimulatorKey, simulator);
        WriteSetting(kDirInfoSection, kPlayerStoreKey, player);
    }
    static QString setting(const QString& section, const QString& key) {
        return ReadSetting(section, key, QStringLiteral("<absent>"));
    }
    static QStringList logLines() {
        QFile f(dataFilePath(QStringLiteral("kolvodebug.txt")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QString all = QString::fromUtf8(f.readAll());
        EXPECT_TRUE(all.endsWith(QStringLiteral("\r\n")));
        all.chop(2);
        return all.split(QStringLiteral("\r\n"));
    }

    int mainOpened = 0;
    int ended = 0;
};

} // namespace

TEST_F(StartupTest, FirstRunAsksForBothFoldersThenUpdatesThenOpensTheMainWindow) {
    TestApp app;
    WindowsClosedAtEnd closeWindows;
    QDir().mkpath(app.path(QStringLiteral("games/sim")));
    QPointer<SplashWindow> splash = start(app);
    EXPECT_EQ(splash->versionLabel->text(), QStringLiteral("Version 1.0.1"));
    EXPECT_EQ(splash->statusLabel->text(), QStringLiteral("Stand by, loading..."));

    auto* ddr = openWindow<DDRLocation>(QStringLiteral("DDRLocation"));
    ASSERT_NE(ddr, nullptr);
    EXPECT_EQ(ddr->windowTitle(), QStringLiteral("Location of DDR Simulator"));
    EXPECT_FALSE(splash->isEnabled());
    EXPECT_EQ(app.ctx.goahead, 0);
    ASSERT_TRUE(ddr->folderList->setPath(app.path(QStringLiteral("games/sim/"))));
    ddr->okButton->click();
    EXPECT_EQ(app.ctx.goahead, 1);
    EXPECT_EQ(setting(kDirInfoSection, kSimulatorKey), app.path(QStringLiteral("games/sim")));
    EXPECT_EQ(app.ctx.simulatorpath, app.path(QStringLiteral("games/sim")));

    WinampLocation* player = nullptr;
    ASSERT_TRUE(waitUntil(
        [&] { return (player = openWindow<WinampLocation>(QStringLiteral("WinampLocation"))); }));
    EXPECT_EQ(player->windowTitle(), QStringLiteral("Location of Winamp"));
    EXPECT_FALSE(splash->isEnabled());
    const QString mpv = QStandardPaths::findExecutable(QStringLiteral("mpv"));
    if (!mpv.isEmpty()) { // opens where the player is, so OK is enough
        EXPECT_EQ(player->folderList->path(), QFileInfo(mpv).absolutePath());
    }
    const QString playerFolder = player->folderList->path();
    player->okButton->click();
    EXPECT_EQ(app.ctx.goahead, 2);
    EXPECT_EQ(setting(kDirInfoSection, kPlayerKey), playerFolder);
    EXPECT_EQ(app.ctx.winamppath, playerFolder);

    CheckForUpdates* updates = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        return (updates = openWindow<CheckForUpdates>(QStringLiteral("CheckForUpdates")));
    }));
    for (const char* flag : {"autowide", "autopower", "autotrans"})
        EXPECT_EQ(setting(kSettingsSection, QString::fromLatin1(flag)), QStringLiteral("1"));
    EXPECT_EQ(app.ctx.session.autowide, 1);
    EXPECT_EQ(app.ctx.session.autopower, 1);
    EXPECT_EQ(app.ctx.session.autotrans, 1);
    EXPECT_EQ(mainOpened, 0);
    updates->doNotCheckButton->click(); // "Do not check"

    ASSERT_TRUE(waitUntil([&] { return mainOpened == 1 && splash.isNull(); }));
    EXPECT_EQ(setting(kSettingsSection, kCheckUpdateKey), QStringLiteral("0"));
    EXPECT_EQ(app.boxes.shown.size(), 0);
    EXPECT_EQ(ended, 0);
}

TEST_F(StartupTest, StoredFoldersGoStraightToTheMainWindowUnlessOutdated) {
    struct Case {
        const char* simulator;
        bool asks;
    };
    const Case cases[] = {
        {"/games/sim", false},
        {"/games/DWI Support", true},
        {"/home/me/Games/dwi support/old", true},
        {"/", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.simulator);
        freshSettingsAndLog();
        storeFolders(QString::fromLatin1(c.simulator), QStringLiteral("/usr/bin"));
        WriteSetting(kSettingsSection, QStringLiteral("autowide"), QStringLiteral("0"));
        WriteSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("0"));
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        mainOpened = 0;
        QPointer<SplashWindow> splash = start(app);
        auto* ddr = openWindow<DDRLocation>(QStringLiteral("DDRLocation"));
        EXPECT_EQ(ddr != nullptr, c.asks);
        if (ddr)
            ddr->cancelButton->click(); // Cancel keeps the old value and goes on
        ASSERT_TRUE(waitUntil([&] { return mainOpened == 1 && splash.isNull(); }));
        EXPECT_EQ(openWindow<WinampLocation>(QStringLiteral("WinampLocation")), nullptr);
        EXPECT_EQ(openWindow<CheckForUpdates>(QStringLiteral("CheckForUpdates")), nullptr);
        EXPECT_EQ(app.ctx.simulatorpath, QString::fromLatin1(c.simulator));
        EXPECT_EQ(setting(kDirInfoSection, kSimulatorKey), QString::fromLatin1(c.simulator));
        EXPECT_EQ(app.ctx.winamppath, QStringLiteral("/usr/bin"));
        EXPECT_EQ(app.ctx.session.autowide, 0); // a stored flag is kept
        EXPECT_EQ(setting(kSettingsSection, QStringLiteral("autowide")), QStringLiteral("0"));
        EXPECT_EQ(app.ctx.session.autopower, 1);
    }
}

TEST_F(StartupTest, DebugSwitchLogsEveryStepInOrder) {
    const QStringList expected{
        QStringLiteral("Memory allocated, loading splash screen"),
        QStringLiteral("Added version ID to splash screen OK"),
        QStringLiteral("Loaded DirInfo Value from registry"),
        QStringLiteral("Path OK"),
        QStringLiteral("Loaded DWIPath Value from registry"),
        QStringLiteral("Got Winamp path"),
        QStringLiteral("Path okay."),
        QStringLiteral("Got autowide value"),
        QStringLiteral("It's bad, attempting to save new"),
        QStringLiteral("Saved new autowide value as old didn't exist"),
        QStringLiteral("Got autopower value"),
        QStringLiteral("It's bad, attempting to save new"),
        QStringLiteral("Saved new autopower value as old didn't exist"),
        QStringLiteral("Got autotrans value"),
        QStringLiteral("It's bad, attempting to save new"),
        QStringLiteral("Saved new autotrans value as old didn't exist"),
        QStringLiteral("Timer2 Enabled"),
        QStringLiteral("Timer1 Disabled"),
        QStringLiteral("Getting checkupdateonstart value..."),
        QStringLiteral("Checkupdateonstart <> 1 therefore no check"),
        QStringLiteral("goahead < 10 therefore goahead = 3"),
        QStringLiteral("Timer 3 Enabled"),
        QStringLiteral("Timer 2 Disabled"),
        QStringLiteral("All done! Loading main menu!"),
    };
    struct Case {
        QStringList arguments;
        bool logs;
    };
    const Case cases[] = {
        {{"kolvo", "/debug"}, true},
        {{"kolvo", "song.kolvo", "/debug"}, true},
        {{"kolvo"}, false},
        {{"kolvo", "/DEBUG"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        freshSettingsAndLog();
        storeFolders(QStringLiteral("/games/sim"), QStringLiteral("/usr/bin"));
        WriteSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("0"));
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        app.ctx.arguments = c.arguments;
        mainOpened = 0;
        QPointer<SplashWindow> splash = start(app);
        ASSERT_TRUE(waitUntil([&] { return mainOpened == 1 && splash.isNull(); }));
        const QString logFile = dataFilePath(QStringLiteral("kolvodebug.txt"));
        ASSERT_EQ(QFile::exists(logFile), c.logs);
        if (!c.logs)
            continue;
        const QStringList lines = logLines();
        ASSERT_EQ(lines.size(), expected.size() + 2);
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d$")).match(lines[0]).hasMatch())
            << lines[0].toStdString();
        EXPECT_TRUE(
            QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$")).match(lines[1]).hasMatch())
            << lines[1].toStdString();
        EXPECT_EQ(lines.mid(2), expected);
    }
}

TEST_F(StartupTest, StartupUpdateCheckOffersOnlyANewerVersion) {
    LocalHttpServer server;
    const QString page = server.address() + QStringLiteral("/kolvo/");
    const QStringList downloaded{
        QStringLiteral("It downloaded okay."), QStringLiteral("File opened okay."),
        QStringLiteral("Three lines inputted okay."), QStringLiteral("File closed okay."),
        QStringLiteral("File killed okay.")};
    struct Case {
        const char* name;
        LocalHttpServer::Mode mode;
        QByteArray body;
        MsgAnswer answer;
        bool offered;
        bool continues;
        QStringList tail; // log lines after the download line
    };
    const Case cases[] = {
        {"same version", LocalHttpServer::Mode::Body, "1\n0\n1\n", MsgAnswer::No, false, true,
         downloaded + QStringList{"No update needed."}},
        {"newer, no", LocalHttpServer::Mode::Body, " 1 \n 0 \n 2 \n", MsgAnswer::No, true, true,
         downloaded + QStringList{"New rev, update needed", "Popping up msgbox...",
                                  "Response entered.", "Response was no, continuing execution"}},
        {"newer, yes", LocalHttpServer::Mode::Body, "2\n1\n0\n", MsgAnswer::Yes, true, false,
         downloaded + QStringList{"New major app, update needed", "New minor app, update needed",
                                  "Popping up msgbox...", "Response entered.",
                                  "Response was yes: calling webjump", "Terminating program."}},
        {"missing file",
         LocalHttpServer::Mode::NotFound,
         {},
         MsgAnswer::No,
         false,
         true,
         {"Didn't download correctly, cancelling update procedure"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshSettingsAndLog();
        storeFolders(QStringLiteral("/games/sim"), QStringLiteral("/usr/bin"));
        WriteSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("1"));
        WriteSetting(kSettingsSection, kUpdateAddressKey, server.address());
        server.set("/kolvo/autoupdate.txt", {c.mode, c.body});
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        app.ctx.arguments = {QStringLiteral("kolvo"), QStringLiteral("/debug")};
        app.boxes.answers << c.answer;
        mainOpened = 0;
        ended = 0;
        QPointer<SplashWindow> splash = start(app);
        if (c.continues) {
            ASSERT_TRUE(waitUntil([&] { return mainOpened == 1 && splash.isNull(); }));
        } else {
            ASSERT_TRUE(waitUntil([&] { return ended == 1; }));
            QTest::qWait(1500); // the main window must not follow
            EXPECT_EQ(mainOpened, 0);
            EXPECT_EQ(splash->statusLabel->text(),
                      QStringLiteral("Checking for program updates..."));
        }
        EXPECT_EQ(ended, c.continues ? 0 : 1);
        EXPECT_EQ(app.boxes.shown.size(), c.offered ? 1 : 0);
        if (c.offered) {
            EXPECT_EQ(app.boxes.last().title, QStringLiteral("New Version Found"));
            EXPECT_EQ(app.boxes.last().buttons, MsgButtons::YesNo);
            EXPECT_TRUE(app.boxes.last().text.startsWith(
                QStringLiteral("A new version, %1 is available.")
                    .arg(QString::fromLatin1(c.answer == MsgAnswer::Yes ? "2.1.0" : "1.0.2"))));
        }
        EXPECT_EQ(app.launcher.calls.size(), c.answer == MsgAnswer::Yes ? 1 : 0);
        if (!app.launcher.calls.isEmpty()) {
            EXPECT_EQ(app.launcher.calls[0].args, QStringList{page});
        }

        QStringList lines = logLines();
        const qsizetype from = lines.indexOf(QStringLiteral("Getting checkupdateonstart value..."));
        ASSERT_GE(from, 0);
        lines = lines.mid(from);
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(lines[1], QStringLiteral("It's 1. Updating splashscreen label..."));
        EXPECT_EQ(lines[2], QStringLiteral("Done. Randomising timer..."));
        EXPECT_TRUE(lines[3].startsWith(QStringLiteral("Done. Starting file download at ")));
        EXPECT_TRUE(lines[4].startsWith(QStringLiteral("DownloadFile operation finished at ")));
        EXPECT_TRUE(lines[4].endsWith(QStringLiteral(", for better or worse")));
        QStringList after = c.tail;
        if (c.continues)
            after << QStringLiteral("goahead < 10 therefore goahead = 3")
                  << QStringLiteral("Timer 3 Enabled") << QStringLiteral("Timer 2 Disabled")
                  << QStringLiteral("All done! Loading main menu!");
        EXPECT_EQ(lines.mid(5), after);
        closeAllTestWindows();
    }
}

TEST_F(StartupTest, UpdateWindowClosedWithDoNotCheckStillDecides) {
    storeFolders(QStringLiteral("/games/sim"), QStringLiteral("/usr/bin"));
    for (bool tick : {false, true}) {
        SCOPED_TRACE(tick);
        WriteSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("none"));
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        mainOpened = 0;
        QPointer<SplashWindow> splash = start(app);
        CheckForUpdates* updates = nullptr;
        ASSERT_TRUE(waitUntil([&] {
            return (updates = openWindow<CheckForUpdates>(QStringLiteral("CheckForUpdates")));
        }));
        EXPECT_FALSE(splash->isEnabled());
        if (tick)
            updates->checkAtStartBox->click();
        updates->doNotCheckButton->click();
        ASSERT_TRUE(waitUntil([&] { return mainOpened == 1 && splash.isNull(); }));
        EXPECT_EQ(setting(kSettingsSection, kCheckUpdateKey),
                  tick ? QStringLiteral("1") : QStringLiteral("0"));
    }
}

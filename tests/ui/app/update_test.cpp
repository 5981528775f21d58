// The update check against a real HTTP server on 127.0.0.1: the download
// with its limits, the update window, and webjump through a stand-in URL
// handler on PATH.
#include "apptestutil.h"
#include "localhttpserver.h"
#include "testapp.h"

#include "core/app/startuprules.h"
#include "ui/app/checkforupdates.h"
#include "ui/app/updateactions.h"
#include "ui/app/versionfetcher.h"
#include "ui/platform/settings.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;
using Mode = LocalHttpServer::Mode;

namespace {
const QByteArray kVersionPath = "/kolvo/autoupdate.txt";

class UpdateTest : public ::testing::Test {
  protected:
    void SetUp() override { freshSettingsAndLog(); }
    void TearDown() override { closeAllTestWindows(); }
    void useServer() { WriteSetting(kSettingsSection, kUpdateAddressKey, server.address()); }
    LocalHttpServer server;
};
} // namespace

TEST_F(UpdateTest, DownloadKeepsToItsLimits) {
    struct Case {
        const char* name;
        Mode mode;
        QByteArray body;
        bool closedPort;
        bool ok;
    };
    const Case cases[] = {
        {"version file", Mode::Body, "1\n0\n2\n", false, true},
        {"missing file", Mode::NotFound, {}, false, false},
        {"closed port", Mode::Body, "1\n0\n2\n", true, false},
        {"slow server", Mode::Silent, {}, false, false},
        {"huge file", Mode::Huge, {}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.set(kVersionPath, {c.mode, c.body});
        const QString address =
            c.closedPort ? QStringLiteral("http://127.0.0.1:%1").arg(LocalHttpServer::closedPort())
                         : server.address();
        VersionFetcher fetcher;
        fetcher.setTimeLimit(400);
        QSignalSpy done(&fetcher, &VersionFetcher::finished);
        QElapsedTimer clock;
        clock.start();
        fetcher.start(QUrl(address + QString::fromLatin1(kVersionPath)));
        ASSERT_TRUE(done.wait(5000));
        EXPECT_LT(clock.elapsed(), 3000); // the time limit holds, not the test's wait
        ASSERT_EQ(done.count(), 1);
        EXPECT_EQ(done.at(0).at(0).toBool(), c.ok);
        EXPECT_EQ(done.at(0).at(1).toByteArray(), c.ok ? c.body : QByteArray());
    }
}

// A redirect is followed on the same server only; one that leads to another
// host or port fails without ever reaching it.
TEST_F(UpdateTest, RedirectsStayOnTheSameServer) {
    LocalHttpServer other;
    other.set(kVersionPath, {Mode::Body, "9\n9\n9\n"});
    const QByteArray port = QByteArray::number(QUrl(server.address()).port());
    struct Case {
        const char* name;
        QByteArray location;
        bool ok;
    } cases[] = {
        {"same server, other path", "/moved/autoupdate.txt", true},
        {"same server, full address", server.address().toLatin1() + "/moved/autoupdate.txt", true},
        {"other port", other.address().toLatin1() + kVersionPath, false},
        {"other host name", "http://localhost:" + port + "/moved/autoupdate.txt", false},
        {"other scheme", "https://127.0.0.1:" + port + "/moved/autoupdate.txt", false},
    };
    server.set("/moved/autoupdate.txt", {Mode::Body, "1\n0\n2\n"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.set(kVersionPath, {Mode::Redirect, c.location});
        server.requests.clear();
        other.requests.clear();
        VersionFetcher fetcher;
        QSignalSpy done(&fetcher, &VersionFetcher::finished);
        fetcher.start(QUrl(server.address() + QString::fromLatin1(kVersionPath)));
        ASSERT_TRUE(done.wait(5000));
        EXPECT_EQ(done.at(0).at(0).toBool(), c.ok);
        EXPECT_EQ(done.at(0).at(1).toByteArray(), c.ok ? QByteArray("1\n0\n2\n") : QByteArray());
        EXPECT_TRUE(other.requests.isEmpty());
        EXPECT_EQ(server.requests.size(), c.ok ? 2 : 1);
    }
}

TEST_F(UpdateTest, NoAddressFailsLikeADownload) {
    VersionFetcher fetcher;
    QSignalSpy done(&fetcher, &VersionFetcher::finished);
    fetcher.start(freshVersionFileUrl()); // nothing configured
    EXPECT_EQ(done.count(), 0);           // never from within start()
    ASSERT_TRUE(done.wait(2000));
    EXPECT_FALSE(done.at(0).at(0).toBool());
}

TEST_F(UpdateTest, WindowDecidesTheStartupSettingAndHandsBack) {
    for (int goahead : {2, 10}) {
        SCOPED_TRACE(goahead);
        freshSettingsAndLog();
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        app.ctx.goahead = goahead;
        QWidget setAside;
        auto* w = new CheckForUpdates(app.ctx, &setAside);
        w->show();
        EXPECT_EQ(w->windowTitle(), QStringLiteral("Kolvo Update Centre"));
        EXPECT_EQ(w->statusLabel->text(), QStringLiteral("Currently using v1.0.1"));
        EXPECT_EQ(ReadSetting(kSettingsSection, kCheckUpdateKey, "none"), QStringLiteral("0"));
        EXPECT_FALSE(setAside.isEnabled());
        w->checkAtStartBox->click();
        EXPECT_EQ(ReadSetting(kSettingsSection, kCheckUpdateKey, "none"), QStringLiteral("1"));
        w->checkAtStartBox->click();
        w->doNotCheckButton->click(); // "Do not check"
        QTest::qWait(0);
        EXPECT_EQ(ReadSetting(kSettingsSection, kCheckUpdateKey, "none"), QStringLiteral("0"));
        EXPECT_TRUE(setAside.isEnabled());
        EXPECT_EQ(app.ctx.goahead, goahead < 10 ? 3 : 10);
        EXPECT_TRUE(app.boxes.shown.isEmpty());
        EXPECT_TRUE(app.launcher.calls.isEmpty());
    }
}

TEST_F(UpdateTest, CheckNowReportsWhatTheServerSaid) {
    struct Case {
        const char* name;
        Mode mode;
        QByteArray body;
        int address; // 0 the server, 1 a closed port, 2 none
        QString title;
        QString text;
    };
    const QString couldNot = QStringLiteral(
        "Could not download update information file; there may be a network problem.");
    const Case cases[] = {
        {"same version", Mode::Body, "1\n0\n1\n", 0, "No updates found.",
         "No updates were found: you have the latest version."},
        {"newer version", Mode::Body, "1\r\n 0 \r\n2\r\n", 0, "New Version Found",
         "A new version, 1.0.2 is available. Do you want to launch your default web browser and "
         "go to the Kolvo web page?"},
        {"older version", Mode::Body, "0\n9\n9\n", 0, "No updates found.",
         "No updates were found: you have the latest version."},
        {"two lines", Mode::Body, "1\n1\n", 0, "Could not connect.", couldNot},
        {"missing file", Mode::NotFound, {}, 0, "Could not connect.", couldNot},
        {"closed port", Mode::Body, "1\n0\n2\n", 1, "Could not connect.", couldNot},
        // An empty setting is not a network problem: say what is missing and where.
        {"no address", Mode::Body, "1\n0\n2\n", 2, "No update address", noUpdateAddressText()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        server.set(kVersionPath, {c.mode, c.body});
        server.requests.clear();
        const QString address =
            c.address == 0 ? server.address()
            : c.address == 1
                ? QStringLiteral("http://127.0.0.1:%1").arg(LocalHttpServer::closedPort())
                : QString();
        WriteSetting(kSettingsSection, kUpdateAddressKey, address);
        TestApp app;
        WindowsClosedAtEnd closeWindows;
        app.boxes.answers << MsgAnswer::No;
        int ended = 0;
        QPointer<CheckForUpdates> w = new CheckForUpdates(app.ctx, nullptr);
        w->setEndProgram([&] { ++ended; });
        w->show();
        w->checkNowButton->click();
        EXPECT_FALSE(w->checkNowButton->isEnabled());
        EXPECT_FALSE(w->doNotCheckButton->isEnabled());
        if (c.address != 2) {
            EXPECT_EQ(w->statusLabel->text(), QStringLiteral("Stand by, connecting..."));
        }
        ASSERT_TRUE(waitUntil([&] { return w.isNull(); }));
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().title, c.title);
        EXPECT_EQ(app.boxes.last().text, c.text);
        EXPECT_EQ(app.boxes.last().icon, c.address == 2 ? MsgIcon::Information : MsgIcon::None);
        EXPECT_EQ(ended, 0);
        EXPECT_TRUE(app.launcher.calls.isEmpty());
        if (c.address == 2) {
            EXPECT_TRUE(c.text.contains(settingsFilePath()));
            EXPECT_TRUE(c.text.contains("updateaddress"));
            EXPECT_TRUE(server.requests.isEmpty());
        }
        if (c.address == 0) {
            ASSERT_EQ(server.requests.size(), 1);
            const QByteArray target = server.requests.first();
            ASSERT_TRUE(target.startsWith(kVersionPath + "?random="));
            const int n = target.mid(kVersionPath.size() + 8).toInt();
            EXPECT_TRUE(n >= 0 && n < 10000);
        }
    }
}

// The offer quotes the server's lines; the real message box shows them as
// the characters they are, never as a link or a picture.
TEST_F(UpdateTest, ServerLinesAreShownAsPlainText) {
    useServer();
    const QString line1 = QStringLiteral("2<a href=\"http://elsewhere.invalid/\">get it</a>");
    const QString line2 = QStringLiteral("0<img src=\"http://elsewhere.invalid/x.png\">");
    server.set(kVersionPath, {Mode::Body, (line1 + "\n" + line2 + "\n1\n").toUtf8()});
    TestApp app;
    QtMessageBoxes realBoxes;
    AppContext ctx{app.model, realBoxes, app.dialogs, app.launcher, app.player};
    WindowsClosedAtEnd closeWindows;
    bool inspected = false;
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [&, poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        inspected = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("New Version Found"));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
        EXPECT_TRUE(label->text().contains(line1 + "." + line2 + ".1"));
        box->button(QMessageBox::No)->click();
    });
    poll->start(10);
    int ended = 0;
    QPointer<CheckForUpdates> w = new CheckForUpdates(ctx, nullptr);
    w->setEndProgram([&] { ++ended; });
    w->show();
    w->checkNowButton->click();
    ASSERT_TRUE(waitUntil([&] { return w.isNull(); }));
    EXPECT_TRUE(inspected);
    EXPECT_EQ(ended, 0);
}

TEST_F(UpdateTest, YesOpensTheWebPageAndEndsTheProgram) {
    useServer();
    server.set(kVersionPath, {Mode::Body, "1\n0\n2\n"});
    TestApp app;
    WindowsClosedAtEnd closeWindows;
    app.boxes.answers << MsgAnswer::Yes;
    int ended = 0;
    QPointer<CheckForUpdates> w = new CheckForUpdates(app.ctx, nullptr);
    w->setEndProgram([&] { ++ended; });
    w->show();
    w->checkNowButton->click();
    ASSERT_TRUE(waitUntil([&] { return w.isNull(); }));
    EXPECT_EQ(ended, 1);
    ASSERT_EQ(app.launcher.calls.size(), 1);
    EXPECT_TRUE(app.launcher.calls[0].program.endsWith(QStringLiteral("/xdg-open")));
    EXPECT_EQ(app.launcher.calls[0].args,
              QStringList{server.address() + QStringLiteral("/kolvo/")});
}

TEST_F(UpdateTest, WebjumpUsesTheDesktopUrlHandler) {
    useServer();
    RealLaunchTestApp app;
    WindowsClosedAtEnd closeWindows;
    ASSERT_TRUE(installArgRecorder(app.path(QStringLiteral("bin/xdg-open"))));
    const QString record = app.path(QStringLiteral("opened.jsonl"));
    setArgRecorderOutput(record);
    {
        PathOverride path(app.path(QStringLiteral("bin")), false);
        webjump(app.ctx, nullptr);
    }
    const auto run = waitForArgRecord(record);
    ASSERT_TRUE(run.has_value());
    EXPECT_EQ(run->args, QStringList{server.address() + QStringLiteral("/kolvo/")});
    EXPECT_TRUE(app.boxes.shown.isEmpty());
}

TEST_F(UpdateTest, WebjumpSaysWhenNoBrowserCanBeUsed) {
    useServer();
    {
        TestApp app; // no URL handler anywhere on PATH
        WindowsClosedAtEnd closeWindows;
        PathOverride path(app.path(QString()), true);
        webjump(app.ctx, nullptr);
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().title, QStringLiteral("Browser Not Found"));
        EXPECT_EQ(app.boxes.last().text, QStringLiteral("Could not find associated Browser"));
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
        EXPECT_TRUE(app.launcher.calls.isEmpty());
    }
    {
        TestApp app; // a handler that will not start
        WindowsClosedAtEnd closeWindows;
        ASSERT_TRUE(installArgRecorder(app.path(QStringLiteral("xdg-open"))));
        PathOverride path(app.path(QString()), true);
        app.launcher.succeed = false;
        webjump(app.ctx, nullptr);
        ASSERT_EQ(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.last().title, QStringLiteral("URL Failed"));
        EXPECT_EQ(app.boxes.last().text, QStringLiteral("Web Page not Opened"));
        EXPECT_EQ(app.boxes.last().icon, MsgIcon::Exclamation);
    }
}

TEST_F(UpdateTest, ClosingTheWindowDuringADownloadDropsIt) {
    useServer();
    server.set(kVersionPath, {Mode::Silent, {}});
    TestApp app;
    WindowsClosedAtEnd closeWindows;
    QPointer<CheckForUpdates> w = new CheckForUpdates(app.ctx, nullptr);
    w->show();
    w->checkNowButton->click();
    ASSERT_TRUE(waitUntil([&] { return !server.requests.isEmpty(); }));
    w->close();
    ASSERT_TRUE(waitUntil([&] { return w.isNull(); }));
    QTest::qWait(200);
    EXPECT_TRUE(app.boxes.shown.isEmpty());
    EXPECT_EQ(app.ctx.goahead, 3);
}

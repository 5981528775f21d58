// The desktop program's command line, run as a process: help and version
// print and end without a window, a step file is imported, anything else
// is refused in a few clean words.
#include "core/app/startuprules.h"
#include "testapp.h"
#include "ui/platform/settings.h"
#include "waituntil.h"

#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

class CommandLine : public ::testing::Test {
  protected:
    void SetUp() override {
        // No first-run questions, no recovery copy from another test.
        WriteSetting(kDirInfoSection, kSimulatorKey, app.path("sim"));
        WriteSetting(kDirInfoSection, kPlayerStoreKey, QStringLiteral("/usr/bin"));
        WriteSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("0"));
    }
    void TearDown() override {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(5000);
        }
    }
    // Runs the program to its end; no display is needed for what ends early.
    struct Run {
        int status;
        QString out, err;
    };
    static Run runToEnd(const QStringList& args) {
        QProcess p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "xcb");
        e.insert("DISPLAY", ":nowhere");
        p.setProcessEnvironment(e);
        p.start(QStringLiteral(KOLVO_BINARY_DIR "/src/main/kolvo"), args);
        if (!p.waitForFinished(20000)) {
            p.kill();
            p.waitForFinished();
            return {-1, {}, {}};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    // Starts the program with its windows off screen and its boxes answered;
    // returns what it printed once `until` shows up.
    QString startAndWaitFor(const QStringList& args, const QMap<QString, QString>& env,
                            const std::function<bool(const QString&)>& until) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        for (auto it = env.begin(); it != env.end(); ++it)
            e.insert(it.key(), it.value());
        m_program.setProcessEnvironment(e);
        m_program.start(QStringLiteral(KOLVO_BINARY_DIR "/src/main/kolvo"), args);
        QString err;
        test::waitUntil(
            [&] {
                err += QString::fromUtf8(m_program.readAllStandardError());
                return until(err);
            },
            60000);
        return err;
    }

    test::TestApp app;
    QProcess m_program;
};

TEST_F(CommandLine, HelpAndVersionPrintAndEndWithoutAWindow) {
    const Run help = runToEnd({"--help"});
    EXPECT_EQ(help.status, 0) << help.err.toStdString();
    EXPECT_TRUE(help.out.contains("Usage:")) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains("SONG")) << help.out.toStdString();

    const Run version = runToEnd({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, QStringLiteral("kolvo " KOLVO_TEST_VERSION "\n"));

    const struct {
        QStringList args;
        const char* says;
    } refused[] = {{{"--frobnicate"}, "frobnicate"}, {{"a.kolvo", "b.kolvo"}, "one song"}};
    for (const auto& c : refused) {
        const Run r = runToEnd(c.args);
        EXPECT_EQ(r.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(c.says)) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("kolvo --help")) << r.err.toStdString();
    }
}

TEST_F(CommandLine, AStepFileIsImported) {
    const QString sm = app.writeFile(
        "song.sm", "#TITLE:Command Line Song;\n#ARTIST:Tester;\n#OFFSET:0.000;\n"
                   "#BPMS:0.000=140.000;\n#NOTES:\n     dance-single:\n     :\n     Easy:\n"
                   "     3:\n     0,0,0,0,0:\n1000\n0000\n0100\n0000\n;\n");
    const QString dump = app.path("dump.kolvo");
    startAndWaitFor({sm}, {{"KOLVO_TEST_DUMP", dump}},
                    [&](const QString&) { return QFile::exists(dump); });
    QFile f(dump);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray song = f.readAll();
    EXPECT_TRUE(song.contains("Command Line Song")) << song.left(300).constData();
    EXPECT_TRUE(song.contains("Tester"));
}

TEST_F(CommandLine, AnythingElseIsRefusedInCleanWords) {
    static const char kHead[] = "OggS\0\x02\x01\x7f\xff\xfe binary \x1b[31m";
    QByteArray junk(kHead, sizeof kHead - 1); // the NUL inside is part of the bytes
    junk += QByteArray(2000, '\x03');
    const QString music = app.writeFile("music.ogg", junk);
    const QString err = startAndWaitFor({music}, {{"KOLVO_TEST_ANSWERS", "Ok"}},
                                        [](const QString& e) { return e.contains("kolvo-box:"); });
    const qsizetype at = err.indexOf("kolvo-box:");
    ASSERT_GE(at, 0) << err.toStdString();
    const QString box = err.mid(at).section(u'\n', 0, 0);
    EXPECT_EQ(box, "kolvo-box: Kolvo | Kolvo cannot open \"music.ogg\": it is neither a Kolvo "
                   "work file (.kolvo) nor a step file (.dwi, .sm, .ssc).");
}

} // namespace

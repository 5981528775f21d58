// Starting other programs, checked against the argument recorder: what it
// was given and where it ran.
#include "testapp.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolvo;
using namespace kolvo::test;

namespace {

class LauncherTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = dir.filePath("record.jsonl");
        setArgRecorderOutput(out);
        savedPath = qgetenv("PATH");
    }
    void TearDown() override { qputenv("PATH", savedPath); }

    QTemporaryDir dir;
    QString out;
    QByteArray savedPath;
    ProcessLauncher launcher;
};

} // namespace

TEST_F(LauncherTest, PassesArgumentsAndWorkingFolderIntact) {
    const QString work = dir.filePath("work folder ü 'q'");
    ASSERT_TRUE(QDir().mkpath(work));
    const QStringList args = {
        "/window",
        "/test:" + dir.filePath("kolvotemporaryfolder/a song \"quoted\".dwi"),
        "blanks  inside ",
        "ünï日本",
        "",
        "$HOME `x` ;&|*",
    };
    QString error;
    ASSERT_TRUE(launcher.start(argRecorderPath(), args, work, &error)) << error.toStdString();
    const auto rec = waitForArgRecord(out);
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->args, args);
    EXPECT_EQ(QDir(rec->cwd).canonicalPath(), QDir(work).canonicalPath());
}

TEST_F(LauncherTest, ANativeProgramNamedExeRunsDirectly) {
    const QString sim = dir.filePath("DWI sim");
    ASSERT_TRUE(installArgRecorder(sim + "/DWI2.exe"));
    const auto plan = ProcessLauncher::plan(sim + "/DWI2.exe", {"/tick:1"});
    EXPECT_EQ(plan.program, sim + "/DWI2.exe");
    ASSERT_TRUE(launcher.start(sim + "/DWI2.exe", {"/tick:1"}, sim));
    const auto rec = waitForArgRecord(out);
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->args, QStringList{"/tick:1"});
    EXPECT_EQ(QDir(rec->cwd).canonicalPath(), QDir(sim).canonicalPath());
}

TEST_F(LauncherTest, AWindowsProgramGoesThroughWineWhenWineIsThere) {
    // A Windows program (not runnable here) and a "wine" that records.
    const QString exe = writeScratchFile(dir.filePath("sim/DWI2.exe"), "MZ\x90\x00 not ELF");
    ASSERT_FALSE(exe.isEmpty());
    ASSERT_TRUE(installArgRecorder(dir.filePath("bin/wine")));
    qputenv("PATH", (dir.filePath("bin") + ":/usr/bin:/bin").toLocal8Bit());

    EXPECT_FALSE(ProcessLauncher::isNativeExecutable(exe));
    QString error;
    ASSERT_TRUE(launcher.start(exe, {"/window", "/test:a b.dwi"}, dir.filePath("sim"), &error))
        << error.toStdString();
    const auto rec = waitForArgRecord(out);
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->args, (QStringList{exe, "/window", "/test:a b.dwi"}));
    EXPECT_EQ(QDir(rec->cwd).canonicalPath(), QDir(dir.filePath("sim")).canonicalPath());
}

TEST_F(LauncherTest, FailuresAreReportedWithAClearSentence) {
    const QString exe = writeScratchFile(dir.filePath("sim/DWI2.exe"), "MZ");
    const QString text = writeScratchFile(dir.filePath("notes.txt"), "hello");
    QFile::setPermissions(text, QFile::permissions(text) | QFile::ExeOwner);
    struct Case {
        QString program;
        QString workingDir;
        QString pathEnv;
        QString expect;
    } cases[] = {
        {dir.filePath("nowhere/DWI2.exe"), "", "/usr/bin:/bin",
         "Could not find the program " + dir.filePath("nowhere/DWI2.exe") + "."},
        {"no-such-program-kolvo", "", "/usr/bin:/bin",
         "Could not find the program no-such-program-kolvo."},
        // No wine on this PATH.
        {exe, "", dir.filePath("empty"),
         exe + " is a Windows program, and wine, which could run it, was not found."},
        {text, "", "/usr/bin:/bin", text + " is not a program that can be run."},
        {argRecorderPath(), dir.filePath("gone"), "/usr/bin:/bin",
         "Could not start " + argRecorderPath() + ": the folder " + dir.filePath("gone") +
             " does not exist."},
    };
    for (const Case& c : cases) {
        qputenv("PATH", c.pathEnv.toLocal8Bit());
        QString error;
        EXPECT_FALSE(launcher.start(c.program, {"x"}, c.workingDir, &error));
        EXPECT_EQ(error, c.expect);
        EXPECT_FALSE(launcher.start(c.program, {"x"}, c.workingDir)); // no error wanted: fine
    }
    EXPECT_TRUE(readArgRecords(out).isEmpty());
}

TEST_F(LauncherTest, ProgramNamesAreLookedUpOnPath) {
    ASSERT_TRUE(installArgRecorder(dir.filePath("bin/kolvo-browser")));
    qputenv("PATH", (dir.filePath("bin") + ":/usr/bin:/bin").toLocal8Bit());
    ASSERT_TRUE(launcher.start("kolvo-browser", {"https://example.invalid/a?b=1&c"}, {}));
    const auto rec = waitForArgRecord(out);
    ASSERT_TRUE(rec.has_value());
    EXPECT_EQ(rec->args, QStringList{"https://example.invalid/a?b=1&c"});
}

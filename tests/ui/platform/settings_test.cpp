// The settings store and the debug log.
#include "ui/platform/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace kolvo;

namespace {

QString iniPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Kolvo/Kolvo.ini");
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(Settings, LivesInThePrivateTestHomeNotTheUsers) {
    const QString home = qEnvironmentVariable("XDG_CONFIG_HOME");
    ASSERT_FALSE(home.isEmpty());
    EXPECT_TRUE(iniPath().startsWith(home)) << iniPath().toStdString();
    EXPECT_TRUE(QDir::homePath().startsWith(QDir::tempPath())) << QDir::homePath().toStdString();
}

TEST(Settings, AbsentValuesReadAsTheDefault) {
    EXPECT_EQ(ReadSetting("DirInfo", "DDRSimulator", "/"), "/");
    EXPECT_EQ(ReadSetting("Settings", "checkupdateonstart", "none"), "none");
    EXPECT_EQ(ReadSetting("NoSuchSection", "nokey", ""), "");
}

TEST(Settings, KeysAndSectionsIgnoreCase) {
    WriteSetting("DirInfo", "WinAmp", "/opt/player");
    EXPECT_EQ(ReadSetting("DirInfo", "Winamp", "/"), "/opt/player");
    EXPECT_EQ(ReadSetting("dirinfo", "WINAMP", "/"), "/opt/player");
    // One value, not two spellings of it.
    WriteSetting("DIRINFO", "winamp", "/usr/bin");
    EXPECT_EQ(ReadSetting("DirInfo", "WinAmp", "/"), "/usr/bin");
}

TEST(Settings, ValuesAreWrittenToDiskAtOnce) {
    WriteSetting("stepgrabber", "option1", "hold");
    const QByteArray ini = readAll(iniPath());
    EXPECT_TRUE(ini.contains("[stepgrabber]")) << ini.constData();
    EXPECT_TRUE(ini.contains("option1=hold")) << ini.constData();
}

// Texts that an INI file could mangle read back exactly.
TEST(Settings, AnyTextReadsBackAsWritten) {
    const QStringList values = {
        "a,b,c",
        "\"quoted\"",
        "  blanks around  ",
        "Ünïcødé ✓ 日本",
        "@Variant(junk)",
        "back\\slash",
        "semi;colon = x",
        "#not a comment",
        "line1\nline2",
        "",
        "C:",
        "/folder with blanks/and 'quotes'",
    };
    int n = 0;
    for (const QString& v : values) {
        const QString key = QStringLiteral("Key%1").arg(n++);
        WriteSetting("RoundTrip", key, v);
        EXPECT_EQ(ReadSetting("RoundTrip", key, "<default>"), v) << v.toStdString();
    }
}

// A value typed into the file by hand, commas and all, is still one text.
TEST(Settings, HandEditedValuesReadAsWritten) {
    WriteSetting("HandEdited", "placeholder", "x"); // the file exists
    QFile f(iniPath());
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("\n[handmade]\nwinamp=/opt/a,b/player\n[Typed]\nAutoSaveSeconds=5\n");
    f.close();
    EXPECT_EQ(ReadSetting("HandMade", "Winamp", "/"), "/opt/a,b/player");
    // Names spelt with capitals by hand are found as well.
    EXPECT_EQ(ReadSetting("typed", "autosaveseconds", "60"), "5");
    EXPECT_EQ(ReadSetting("Typed", "AUTOSAVESECONDS", "60"), "5");
}

TEST(Settings, DataFilesGoToThePerUserDataFolder) {
    const QString p = dataFilePath("kolvo.ini");
    EXPECT_TRUE(p.startsWith(qEnvironmentVariable("XDG_DATA_HOME"))) << p.toStdString();
    EXPECT_TRUE(p.endsWith("/kolvo.ini"));
    EXPECT_FALSE(p.contains("//"));
    EXPECT_TRUE(QDir(QFileInfo(p).absolutePath()).exists());
}

class DebugLogTest : public ::testing::Test {
  protected:
    void SetUp() override { QFile::remove(logPath()); }
    void TearDown() override {
        setDebugLogFromArguments({});
        QFile::remove(logPath());
    }
    static QString logPath() { return dataFilePath("kolvodebug.txt"); }
};

TEST_F(DebugLogTest, OnlyTheExactLowerCaseSwitchTurnsItOn) {
    struct Case {
        QStringList args;
        bool on;
    } cases[] = {
        {{"kolvo"}, false},
        {{"kolvo", "/debug"}, true},
        {{"kolvo", "song.kolvo", "/debug"}, true},
        {{"kolvo", "x/debugger"}, true}, // anywhere in the command line
        {{"kolvo", "/DEBUG"}, false},
        {{"kolvo", "/Debug"}, false},
        {{"kolvo", "-debug"}, false},
        {{"/home/me/build/debug/kolvo"}, false}, // the program's own path does not count
    };
    for (const Case& c : cases) {
        QFile::remove(logPath());
        setDebugLogFromArguments(c.args);
        EXPECT_EQ(debugLogEnabled(), c.on) << c.args.join(' ').toStdString();
        DebugLog("Line");
        EXPECT_EQ(QFile::exists(logPath()), c.on) << c.args.join(' ').toStdString();
    }
}

TEST_F(DebugLogTest, AppendsOneCrLfLinePerMessage) {
    setDebugLogFromArguments({"kolvo", "/debug"});
    DebugLog("Splash started");
    DebugLog("Update check: ü");
    EXPECT_EQ(readAll(logPath()), QByteArray("Splash started\r\nUpdate check: \xc3\xbc\r\n"));
}

// Trying the song in the simulator: the test folder, the file written into
// it, the command line the simulator gets and DWILoading's clean-up. The
// simulator is played by the project's argument recorder, started for real.
#include "core/song/songmodel.h"
#include "testapp.h"
#include "ui/dwi/dwiloading.h"
#include "ui/dwi/simulatortest.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace kolvo;

namespace {

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Runs `whileOpen` once DWILoading is up, then closes it with its button.
// Fails the test (and closes any modal window) when it never appears.
void whenLoadingShows(std::function<void(QWidget*)> whileOpen, bool* seen) {
    auto* poll = new QTimer;
    poll->setInterval(10);
    auto started = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, [poll, whileOpen, seen, started] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->objectName() == "DWILoading") {
            poll->stop();
            poll->deleteLater();
            *seen = true;
            whileOpen(modal);
            modal->findChild<QPushButton*>("Command1")->click();
        } else if (++*started > 1000) {
            poll->stop();
            poll->deleteLater();
            if (modal)
                modal->close();
        }
    });
    poll->start();
}

class SimulatorTest : public ::testing::Test {
  protected:
    test::RealLaunchTestApp app;
    QString sim, recordFile, folder;

    void SetUp() override {
        sim = app.path("DWI folder"); // a blank in the path, passed unquoted
        recordFile = app.path("records.jsonl");
        folder = sim + "/kolvotemporaryfolder";
        app.ctx.simulatorpath = sim;
        ASSERT_TRUE(test::installArgRecorder(sim + "/DWI2.exe"));
        test::setArgRecorderOutput(recordFile);

        SongModel& m = app.model;
        m.setField(SummaryField::MusicFile, "/music/Demo Song.mp3");
        m.setField(SummaryField::SongName, "Demo");
        m.setField(SummaryField::Artist, "Someone");
        m.setField(SummaryField::Gap, "250");
        m.setField(SummaryField::Bpm, "140");
        m.setMarkAsNew(1);
        m.setTempo(Single, Basic, 5, 1, BPMCHANNEL, 70);
        m.setDataexists(Single, Basic, Value::number(1));
        m.setFootlevels(Single, Basic, Value::text("3"));
        m.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
        m.setStep(Single, Basic, 1, 9, PanelLeft, StepArrow);
        m.setStep(Single, Basic, 1, 9, PanelRight, StepArrow);
        m.setDataexists(Double, Maniac, Value::number(1));
        m.setFootlevels(Double, Maniac, Value::number(1));
        m.setStep(Double, Maniac, 1, 1, PanelDown2, StepArrow);
    }
};

const QByteArray kHeader = "#FILE:/music/Demo Song.mp3;\r\n"
                           "#TITLE:Demo;\r\n"
                           "#ARTIST:Someone;\r\n"
                           "#GAP:250;\r\n"
                           "#BPM:140;\r\n"
                           "#STATUS:NEW\r\n"
                           "#CHANGEBPM:64=70;\r\n";

TEST_F(SimulatorTest, EditorTestRunsEveryChartAtTheCurrentChart) {
    // Leftovers of an earlier run go first.
    ASSERT_FALSE(test::writeScratchFile(folder + "/old.dwi", "old").isEmpty());
    app.ctx.session.currentstyle = Double;
    app.ctx.session.currentlevel = Maniac;

    QByteArray found;
    QStringList filesWhileOpen;
    std::optional<test::ArgRecord> record;
    bool seen = false;
    whenLoadingShows(
        [&](QWidget* loading) {
            EXPECT_EQ(loading->windowTitle(), "Now loading DWI...");
            record = test::waitForArgRecord(recordFile);
            filesWhileOpen = filesIn(folder);
            found = readAll(folder + "/temptest.dwi");
        },
        &seen);
    TestInSimulator(app.ctx, nullptr);

    ASSERT_TRUE(seen);
    ASSERT_TRUE(record);
    // The folder holds a blank and still arrives as one argument.
    EXPECT_EQ(record->args,
              (QStringList{"/window", "/test:" + folder, "/style:DOUBLE", "/level:MANIAC"}));
    EXPECT_EQ(QDir(record->cwd).canonicalPath(), QDir(sim).canonicalPath());
    EXPECT_EQ(filesWhileOpen, QStringList{"temptest.dwi"});
    const QByteArray expected =
        kHeader + "#SINGLE:BASIC:3:40B00000" + QByteArray(40, '0') + ";\r\n" +
        // The second pad's half runs one bar of rests longer.
        "#DOUBLE:MANIAC:1:" + QByteArray(16, '0') + ":20000000" + QByteArray(16, '0') + ";\r\n";
    EXPECT_EQ(found.toStdString(), expected.toStdString());
    // Closing DWILoading empties the folder but keeps it.
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(filesIn(folder).isEmpty());
    EXPECT_TRUE(app.boxes.shown.isEmpty());
}

TEST_F(SimulatorTest, TickTestPlaysTheTickChartWithTheSongsTempo) {
    app.ctx.session.currentstyle = Solo; // the tick test is always Single Basic
    app.ctx.session.currentlevel = SManiac;
    QByteArray found;
    std::optional<test::ArgRecord> record;
    bool seen = false;
    whenLoadingShows(
        [&](QWidget*) {
            record = test::waitForArgRecord(recordFile);
            found = readAll(folder + "/temptest.dwi");
        },
        &seen);
    TickTest(app.ctx, nullptr);

    ASSERT_TRUE(seen);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, (QStringList{"/window", "/test:" + folder, "/style:SINGLE",
                                         "/level:BASIC", "/tick:1"}));
    EXPECT_EQ(QDir(record->cwd).canonicalPath(), QDir(sim).canonicalPath());
    QByteArray tick = "#SINGLE:BASIC:1:" + QByteArray(24, '0');
    for (int i = 0; i < 72; ++i)
        tick += "4060";
    EXPECT_EQ(found.toStdString(), (kHeader + tick + "\r\n").toStdString());
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

// Missing parts stop the test with their message before anything starts.
struct RefusalCase {
    const char* what;
    bool tick;
    bool removeSimulator;
    SummaryField emptyField;
    const char* title;
    const char* text;
    bool folderTouched;
};

class Refusal : public SimulatorTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusal, SaysWhyAndStartsNothing) {
    const RefusalCase& c = GetParam();
    if (c.removeSimulator)
        QFile::remove(sim + "/DWI2.exe");
    else
        app.model.setField(c.emptyField, "");
    ASSERT_FALSE(test::writeScratchFile(folder + "/old.dwi", "old").isEmpty());

    if (c.tick)
        TickTest(app.ctx, nullptr);
    else
        TestInSimulator(app.ctx, nullptr);

    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, c.title);
    EXPECT_EQ(app.boxes.last().text, c.text);
    EXPECT_EQ(app.boxes.last().buttons, MsgButtons::Ok);
    EXPECT_TRUE(test::readArgRecords(recordFile).isEmpty());
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(filesIn(folder), c.folderTouched ? QStringList{} : QStringList{"old.dwi"});
}

const char* kNotFound =
    "DWI2.exe not found in your simulator directory. Check the directory in Options.";
const char* kIncomplete =
    "MP3 File Location, song name and artist are not all filled in. Complete them and try again.";

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusal,
    ::testing::Values(RefusalCase{"editor, no simulator", false, true, SummaryField::MusicFile,
                                  "DWI Not Found", kNotFound, true},
                      RefusalCase{"tick, no simulator", true, true, SummaryField::MusicFile,
                                  "DWI Not Found", kNotFound, true},
                      RefusalCase{"tick, no music", true, false, SummaryField::MusicFile,
                                  "Incomplete", kIncomplete, false},
                      RefusalCase{"tick, no title", true, false, SummaryField::SongName,
                                  "Incomplete", kIncomplete, false},
                      RefusalCase{"tick, no artist", true, false, SummaryField::Artist,
                                  "Incomplete", kIncomplete, false}),
    [](const auto& param) { return std::to_string(param.index); });

TEST(SimulatorLaunch, ProgramThatCannotStartIsReportedAndLeavesNoFile) {
    test::TestApp app;
    app.ctx.simulatorpath = app.path("sim");
    ASSERT_FALSE(app.writeFile("sim/DWI2.exe", "MZ not really").isEmpty());
    app.launcher.succeed = false;
    app.launcher.failure = "wine is not installed.";
    TestInSimulator(app.ctx, nullptr);

    ASSERT_EQ(app.launcher.calls.size(), 1);
    EXPECT_EQ(app.launcher.calls[0].program, app.path("sim/DWI2.exe"));
    EXPECT_EQ(app.launcher.calls[0].workingDir, app.path("sim"));
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().text, "DWI2.exe could not be started. wine is not installed.");
    EXPECT_EQ(app.boxes.last().title, "DWI Not Started");
    EXPECT_TRUE(filesIn(app.path("sim/kolvotemporaryfolder")).isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(SimulatorLaunch, WindowsProgramWithoutWineIsReported) {
    test::RealLaunchTestApp app;
    app.ctx.simulatorpath = app.path("sim");
    ASSERT_FALSE(app.writeFile("sim/DWI2.exe", "MZ a Windows program").isEmpty());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", app.path("empty").toLocal8Bit()); // no wine to be found
    TestInSimulator(app.ctx, nullptr);
    qputenv("PATH", path);

    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "DWI Not Started");
    EXPECT_TRUE(app.boxes.last().text.startsWith("DWI2.exe could not be started. "));
    EXPECT_TRUE(app.boxes.last().text.contains("wine")) << app.boxes.last().text.toStdString();
    EXPECT_TRUE(filesIn(app.path("sim/kolvotemporaryfolder")).isEmpty());
}

// A simulator folder with blanks stays one argument whether the simulator
// runs natively or through wine (both played by the argument recorder).
TEST(SimulatorLaunch, AFolderWithBlanksStaysOneArgument) {
    for (bool throughWine : {false, true}) {
        SCOPED_TRACE(throughWine ? "wine" : "native");
        test::RealLaunchTestApp app;
        const QString sim = app.path("my  simulator folder");
        app.ctx.simulatorpath = sim;
        const QString exe = sim + "/DWI2.exe";
        const QString recordFile = app.path("records.jsonl");
        if (throughWine) {
            ASSERT_FALSE(
                app.writeFile("my  simulator folder/DWI2.exe", "MZ a Windows program").isEmpty());
            ASSERT_TRUE(test::installArgRecorder(app.path("bin/wine")));
        } else {
            ASSERT_TRUE(test::installArgRecorder(exe));
        }
        test::setArgRecorderOutput(recordFile);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", (app.path("bin") + ":" + QString::fromLocal8Bit(path)).toLocal8Bit());
        app.ctx.session.currentstyle = Couple;
        app.ctx.session.currentlevel = Another;
        std::optional<test::ArgRecord> record;
        bool seen = false;
        whenLoadingShows([&](QWidget*) { record = test::waitForArgRecord(recordFile); }, &seen);
        TestInSimulator(app.ctx, nullptr);
        qputenv("PATH", path);

        ASSERT_TRUE(seen);
        ASSERT_TRUE(record);
        QStringList expected{"/window", "/test:" + sim + "/kolvotemporaryfolder", "/style:COUPLE",
                             "/level:ANOTHER"};
        if (throughWine)
            expected.prepend(exe);
        EXPECT_EQ(record->args, expected);
        EXPECT_TRUE(app.boxes.shown.isEmpty());
    }
}

TEST(SimulatorLaunch, ParametersForEveryChartAndTheRootFolder) {
    const char* styles[] = {"", "SINGLE", "DOUBLE", "COUPLE", "SOLO"};
    // A Beginner chart (level 0) is played as the simulator's files name it.
    const char* levels[] = {"BEGINNER", "BASIC", "ANOTHER", "MANIAC", "SMANIAC"};
    for (int s = 1; s <= 4; ++s)
        for (int l = 0; l <= 4; ++l)
            EXPECT_EQ(simulatorParameters("/games/dwi", s, l, false),
                      QString("/window /test:/games/dwi/kolvotemporaryfolder /style:%1 /level:%2")
                          .arg(styles[s], levels[l]));
    // The root folder (the unset value) never gives a doubled separator.
    EXPECT_EQ(simulatorParameters("/", 1, 1, true),
              "/window /test:/kolvotemporaryfolder /style:SINGLE /level:BASIC /tick:1");
    EXPECT_EQ(simulatorProgramPath("/"), "/DWI2.exe");
}

TEST_F(SimulatorTest, AnEditChartIsNotTestedAndSaysWhy) {
    // The simulator's files have no Edit charts: nothing starts, nothing is
    // written, and the user is told.
    Chart edit;
    edit.style = Single;
    edit.level = Edit;
    edit.description = "Mine";
    app.ctx.session.editChart(app.model, app.model.addChart(edit));
    TestInSimulator(app.ctx, nullptr);
    ASSERT_EQ(app.boxes.shown.size(), 1);
    EXPECT_EQ(app.boxes.last().title, "DWI Not Started");
    EXPECT_TRUE(app.boxes.last().text.startsWith("DWI has no Edit charts"));
    EXPECT_TRUE(test::readArgRecords(recordFile).isEmpty());
    EXPECT_FALSE(QFile::exists(folder + "/temptest.dwi"));
}

TEST(TestFolder, PrepareEmptiesWithoutFollowingLinks) {
    QTemporaryDir dir;
    const QString sim = dir.path();
    const QString folder = sim + "/kolvotemporaryfolder";
    // A file elsewhere, linked from inside the folder: only the link goes.
    ASSERT_FALSE(test::writeScratchFile(sim + "/keep/precious.txt", "keep").isEmpty());
    ASSERT_FALSE(test::writeScratchFile(folder + "/a.dwi", "a").isEmpty());
    ASSERT_TRUE(QFile::link(sim + "/keep/precious.txt", folder + "/link.txt"));
    ASSERT_TRUE(PrepareTestFolder(sim));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(filesIn(folder).isEmpty());
    EXPECT_EQ(readAll(sim + "/keep/precious.txt"), "keep");

    // The folder itself a link to another folder: the link is replaced.
    ASSERT_TRUE(QDir(folder).removeRecursively());
    ASSERT_TRUE(QFile::link(sim + "/keep", folder));
    ASSERT_TRUE(PrepareTestFolder(sim));
    EXPECT_FALSE(QFileInfo(folder).isSymLink());
    EXPECT_EQ(readAll(sim + "/keep/precious.txt"), "keep");

    // A sub-folder keeps the folder from being removed: emptied of files anyway.
    ASSERT_FALSE(test::writeScratchFile(folder + "/sub/x.txt", "x").isEmpty());
    ASSERT_FALSE(test::writeScratchFile(folder + "/b.dwi", "b").isEmpty());
    EXPECT_TRUE(PrepareTestFolder(sim));
    EXPECT_TRUE(filesIn(folder).isEmpty());

    // A folder that cannot be made says so.
    ASSERT_FALSE(test::writeScratchFile(sim + "/file/x", "").isEmpty());
    QString error;
    EXPECT_FALSE(PrepareTestFolder(sim + "/file/x", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(DWILoadingWindow, ClosingByAnyMeansDeletesTheFiles) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/kolvotemporaryfolder";
    for (int way = 0; way < 3; ++way) {
        ASSERT_FALSE(test::writeScratchFile(folder + "/temptest.dwi", "x").isEmpty());
        auto* loading = new DWILoading(dir.path());
        loading->show();
        if (way == 0)
            loading->findChild<QPushButton*>("Command1")->click();
        else if (way == 1)
            loading->close();
        delete loading; // way 2: the window goes away with its owner
        EXPECT_TRUE(filesIn(folder).isEmpty()) << way;
        EXPECT_TRUE(QFileInfo(folder).isDir());
    }
}

} // namespace

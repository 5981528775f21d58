// Recovery copies: written while the song is unsaved, offered back after a
// crash of the real program, never shared between two running copies.
#include "core/app/startuprules.h"
#include "core/files/kolvofile.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "document/autosave.h"
#include "document/document.h"
#include "testapp.h"
#include "ui/platform/settings.h"
#include "ui/summary/filecommands.h"
#include "ui/summary/recovery.h"
#include "ui/summary/songsummarywindow.h"
#include "waituntil.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace kolvo;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString recoveryFolder() {
    return dataFilePath(QStringLiteral("recovery"));
}

// ---- in one process ----

// New, Open, Import and a recovery each replace the whole song and say so
// once; whoever hears it already sees the new song, its unsaved state and
// its charts' buttons.
TEST(Document, EveryWholeSongReplacementIsOneAnnouncement) {
    test::TestApp app;
    auto songNamed = [](const char* name) {
        auto m = std::make_unique<SongModel>();
        m->resetparameters();
        m->setField(SummaryField::SongName, QString::fromLatin1(name));
        m->setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
        m->setDataexists(Single, Basic, Value::number(1));
        m->setFootlevels(Single, Basic, Value::number(3));
        return m;
    };
    const QString work = app.writeFile("opened.kolvo", kolvoFileText(*songNamed("Opened")));
    const QString copy = app.writeFile("copy.kolvo", kolvoFileText(*songNamed("Restored")));
    const QString steps = app.writeFile("imported.sm", encodeSmFile(*songNamed("Imported")));
    SongSummaryWindow w(app.ctx);
    auto trigger = [&w](const char* menu) { w.menuAction(QString::fromLatin1(menu))->trigger(); };

    struct Case {
        const char* command;
        std::function<void()> run;
        const char* name; // the song's name afterwards
        bool unsaved;
        bool singleBasicData;
    };
    const Case cases[] = {
        {"open",
         [&] {
             app.dialogs.answers = {work};
             trigger("openmenu");
         },
         "Opened", false, true},
        {"new", [&] { trigger("newmenu"); }, "", false, false},
        {"import",
         [&] {
             app.dialogs.answers = {steps};
             trigger("importmenu");
         },
         "Imported", false, true},
        {"recovery", [&] { w.fileCommands().restoreFile(copy, work); }, "Restored", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        // An unsaved edit first: the save question is answered No.
        app.ctx.document.setField(SummaryField::Genre, QStringLiteral("Edited"));
        app.boxes.answers = {MsgAnswer::No};
        struct Heard {
            bool everything;
            bool unsaved;
            QString nameShown;
            QString button;
        };
        QList<Heard> heard;
        const QMetaObject::Connection listening =
            QObject::connect(&app.ctx.document, &Document::changed, [&](const SongChange& change) {
                heard << Heard{change.replacedEverything(), app.ctx.document.isModified(),
                               w.findChild<QLineEdit*>(QStringLiteral("songname"))->text(),
                               w.chartButton(1)->text()};
            });
        c.run();
        QObject::disconnect(listening);
        ASSERT_EQ(heard.size(), 1);
        EXPECT_TRUE(heard[0].everything);
        EXPECT_EQ(heard[0].unsaved, c.unsaved);
        EXPECT_EQ(heard[0].nameShown, QString::fromLatin1(c.name));
        EXPECT_EQ(heard[0].button, c.singleBasicData ? "Data" : "No Data");
        EXPECT_EQ(app.ctx.document.song().genre(), "");
        EXPECT_EQ(app.ctx.document.history().count(), 0);
    }
}

TEST(Autosave, WritesOnlyUnsavedSongsAndTwoOwnersKeepApart) {
    test::TestApp a, b;
    const QString folder = a.path("recovery");
    Autosave first(a.ctx.document, folder, 60);
    Autosave second(b.ctx.document, folder, 60);
    ASSERT_TRUE(first.claimSlot());
    ASSERT_TRUE(second.claimSlot());
    EXPECT_NE(first.copyPath(), second.copyPath());

    EXPECT_FALSE(first.writeNow()); // nothing unsaved
    EXPECT_FALSE(QFile::exists(first.copyPath()));
    a.ctx.document.setField(SummaryField::SongName, QStringLiteral("Mine"));
    a.ctx.document.markSaved(QStringLiteral("/songs/mine.kolvo"));
    a.ctx.document.setField(SummaryField::Artist, QStringLiteral("Me"));
    EXPECT_TRUE(first.writeNow());
    // The copy is the song as the work file writes it; the record names
    // the work file.
    EXPECT_EQ(readAll(first.copyPath()), kolvoFileText(a.model));
    const auto left = Autosave::readRecord(first.copyPath(), first.recordPath());
    ASSERT_TRUE(left);
    EXPECT_EQ(left->originalPath, "/songs/mine.kolvo");
    // The other running copy sees none of it.
    EXPECT_FALSE(second.leftover());
    {
        // Nor does a third one: the first copy's slot is owned.
        test::TestApp c;
        Autosave third(c.ctx.document, folder, 60);
        ASSERT_TRUE(third.claimSlot());
        EXPECT_FALSE(third.leftover());
    }

    // Save, New and Open remove it; so does a risky step write it again.
    a.ctx.document.markSaved(a.path("saved.kolvo"));
    EXPECT_FALSE(QFile::exists(first.copyPath()));
    a.ctx.document.setField(SummaryField::Genre, QStringLiteral("Pop"));
    a.ctx.document.beforeRiskyStep();
    EXPECT_TRUE(QFile::exists(first.copyPath()));
    a.ctx.document.startFresh();
    EXPECT_FALSE(QFile::exists(first.copyPath()));
    EXPECT_FALSE(QFile::exists(first.recordPath()));
}

TEST(Autosave, TheTimerRunsOnlyWhileTheSongIsUnsaved) {
    test::TestApp a;
    Autosave saver(a.ctx.document, a.path("recovery"), 1);
    ASSERT_TRUE(saver.claimSlot());
    QSignalSpy written(&saver, &Autosave::written);
    a.ctx.document.setField(SummaryField::SongName, QStringLiteral("Timed"));
    ASSERT_TRUE(written.wait(5000));
    EXPECT_EQ(readAll(saver.copyPath()), kolvoFileText(a.model));
    a.ctx.document.history().undo(); // back to the saved state: nothing to keep
    EXPECT_FALSE(written.wait(1800));
}

TEST(Autosave, RestoringAsksOnceAndNoKeepsTheCopyAside) {
    // A copy left in a slot nobody owns (its owner is gone).
    test::TestApp dead;
    const QString folder = dead.path("recovery");
    {
        Autosave crashed(dead.ctx.document, folder, 60);
        ASSERT_TRUE(crashed.claimSlot());
        dead.ctx.document.setField(SummaryField::SongName, QStringLiteral("Lost Song"));
        ASSERT_TRUE(crashed.writeNow());
        // Destroyed without remove(): as after a crash, the copy stays.
    }
    struct Case {
        MsgAnswer answer;
        bool restored;
    };
    for (const Case& c : {Case{MsgAnswer::No, false}, Case{MsgAnswer::Yes, true}}) {
        test::TestApp app;
        Autosave saver(app.ctx.document, folder, 60);
        ASSERT_TRUE(saver.claimSlot());
        const auto left = saver.leftover();
        ASSERT_TRUE(left);
        const QByteArray copy = readAll(left->copyPath);
        SongSummaryWindow w(app.ctx);
        app.boxes.answers << c.answer;
        EXPECT_EQ(offerRecovery(app.ctx, w, saver), c.restored);
        ASSERT_GE(app.boxes.shown.size(), 1);
        EXPECT_EQ(app.boxes.shown[0].text,
                  recoveryQuestion(left->savedAt.toString(QStringLiteral("HH:mm"))));
        EXPECT_EQ(app.boxes.shown[0].buttons, MsgButtons::YesNo);
        if (c.restored) {
            EXPECT_EQ(app.model.songname(), "Lost Song");
            EXPECT_TRUE(app.ctx.document.isModified());
            EXPECT_EQ(app.ctx.document.history().count(), 0);
            EXPECT_EQ(readAll(saver.copyPath()), copy); // still there until saved
        } else {
            ASSERT_EQ(app.boxes.shown.size(), 2);
            const QString kept = app.boxes.shown[1].text.section(u'\n', 1);
            EXPECT_TRUE(kept.startsWith(folder + "/kept-")) << kept.toStdString();
            EXPECT_EQ(readAll(kept), copy);
            EXPECT_FALSE(saver.leftover());
            EXPECT_EQ(app.model.songname(), "");
            // Back in place for the Yes case.
            ASSERT_TRUE(QFile::rename(kept, left->copyPath));
        }
    }
}

// ---- the real program ----

class RealProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        QDir(recoveryFolder()).removeRecursively();
        WriteSetting(kDirInfoSection, kSimulatorKey, app.path("sim"));
        QDir().mkpath(app.path("sim"));
        WriteSetting(kDirInfoSection, kPlayerStoreKey, QStringLiteral("/usr/bin"));
        WriteSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("0"));
        WriteSetting(kSettingsSection, QStringLiteral("autosaveseconds"), QStringLiteral("1"));
    }
    void TearDown() override {
        for (QProcess* p : processes) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
            delete p;
        }
    }
    QProcess* start(const QMap<QString, QString>& env) {
        auto* p = new QProcess;
        processes << p;
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert("QT_QPA_PLATFORM", "offscreen");
        for (auto it = env.begin(); it != env.end(); ++it)
            e.insert(it.key(), it.value());
        p->setProcessEnvironment(e);
        p->start(QStringLiteral(KOLVO_BINARY_DIR "/src/main/kolvo"), {});
        EXPECT_TRUE(p->waitForStarted(10000));
        return p;
    }
    static void kill(QProcess* p) {
        p->kill(); // SIGKILL: nothing runs on the way out
        p->waitForFinished(10000);
    }
    QString copyPath() const { return recoveryFolder() + "/song-0.kolvo"; }
    static QString stderrOf(QProcess* p) { return QString::fromUtf8(p->readAllStandardError()); }

    test::TestApp app;
    QList<QProcess*> processes;
};

TEST_F(RealProgram, AKilledSongComesBackAsItsLastRecoveryCopy) {
    // First run: edits through the document, a recovery copy, then a kill.
    QProcess* first = start({{"KOLVO_TEST_EDITS", "songname=Crash Course;artist=Tester;"
                                                  "step=1,1,3,5,2,1;step=2,3,40,17,9,2"}});
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(copyPath()); }, 60000))
        << stderrOf(first).toStdString();
    kill(first);
    const QByteArray lastCopy = readAll(copyPath());
    SongModel copied;
    ASSERT_FALSE(readKolvoData(lastCopy, copyPath(), copied));
    EXPECT_EQ(copied.songname(), "Crash Course");
    EXPECT_EQ(copied.step(2, 3, 40, 17, 9), 2);

    // Second run: Yes, and the song is the copy.
    const QString dump = app.path("dump.kolvo");
    QProcess* second = start({{"KOLVO_TEST_ANSWERS", "Yes"}, {"KOLVO_TEST_DUMP", dump}});
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(dump); }, 60000));
    const QString err = stderrOf(second);
    const QRegularExpression question(
        "kolvo-box: Kolvo \\| Kolvo did not close properly\\. Restore the song you were working "
        "on \\(saved automatically at [0-2][0-9]:[0-5][0-9]\\)\\?");
    EXPECT_TRUE(question.match(err).hasMatch()) << err.toStdString();
    EXPECT_EQ(readAll(dump), lastCopy);
    kill(second);
}

TEST_F(RealProgram, AKillDuringARecoveryWriteLeavesThePreviousCopy) {
    QProcess* first = start({{"KOLVO_TEST_EDITS", "songname=First Copy"}});
    ASSERT_TRUE(test::waitUntil([&] { return QFile::exists(copyPath()); }, 60000));
    kill(first);
    const QByteArray previous = readAll(copyPath());
    ASSERT_FALSE(previous.isEmpty());

    // Restored and edited; the next write stalls before it replaces the
    // copy, and the program is killed right there.
    QProcess* second = start({{"KOLVO_TEST_ANSWERS", "Yes"},
                              {"KOLVO_TEST_EDITS", "songname=Never Written"},
                              {"KOLVO_TEST_AUTOSAVE_STALL_MS", "60000"}});
    QString err;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            err += stderrOf(second);
            return err.contains("recovery write in progress");
        },
        60000));
    kill(second);
    EXPECT_EQ(readAll(copyPath()), previous);

    // Third run: No keeps it aside, whole.
    QProcess* third = start({{"KOLVO_TEST_ANSWERS", "No,Ok"}});
    QString out;
    ASSERT_TRUE(test::waitUntil(
        [&] {
            out += stderrOf(third);
            return out.contains("The recovery copy was kept at:");
        },
        60000));
    const QStringList kept =
        QDir(recoveryFolder()).entryList({"kept-*.kolvo"}, QDir::Files, QDir::Name);
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readAll(recoveryFolder() + "/" + kept[0]), previous);
    EXPECT_TRUE(out.contains(kept[0]));
    kill(third);
}

} // namespace

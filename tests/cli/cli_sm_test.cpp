// kolvo-cli export to a .sm file: chosen by the ending, the warning about
// text that splits a tag on stderr, and the exit statuses of the DWI export.
#include "clirun.h"
#include "core/files/kolvofile.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolvo;

using test::cli;
using test::CliRun;
using test::readAll;

namespace {

class CliSm : public ::testing::Test {
  protected:
    void SetUp() override {
        model.resetparameters();
        model.setField(SummaryField::SongName, QStringLiteral("Demo"));
        model.setField(SummaryField::Gap, QStringLiteral("250"));
        model.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 500);
        model.setDataexists(Double, Maniac, Value::number(1));
        model.setFootlevels(Double, Maniac, Value::text(QStringLiteral("8")));
        model.setStep(Double, Maniac, 1, 1, PanelLeft2, StepFreezeStart);
        model.setStep(Double, Maniac, 1, 3, PanelLeft2, StepArrow);
        save();
    }
    void save() { ASSERT_FALSE(writeKolvoFile(song(), model)); }
    QString song() const { return path("song.kolvo"); }
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    SongModel model;
};

} // namespace

TEST_F(CliSm, TheEndingChoosesTheFormat) {
    struct Case {
        const char* output;
        bool sm;
    } cases[] = {{"a.sm", true},      {"b.SM", true},   {"c.dwi", false},
                 {"d.sm.dwi", false}, {"e.txt", false}, {"fsm", false}};
    for (const Case& c : cases) {
        const CliRun r = cli({QStringLiteral("export"), song(), path(c.output)});
        EXPECT_EQ(r.status, 0) << c.output << r.err.toStdString();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
        const QByteArray written = readAll(path(c.output));
        EXPECT_EQ(written == encodeSmFile(model), c.sm) << c.output;
        EXPECT_EQ(written.startsWith("#TITLE:Demo;\r\n#ARTIST:"), !c.sm) << c.output;
    }
}

TEST_F(CliSm, TextThatSplitsATagIsWarnedAboutAndWritten) {
    model.setField(SummaryField::Artist, QStringLiteral("A; B"));
    save();
    const CliRun r = cli({QStringLiteral("export"), song(), path("out.sm")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("kolvo-cli: warning: ")));
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("\n\"Name of artist\" holds \";\"\n")))
        << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(readAll(path("out.sm")).contains("\r\n#ARTIST:A; B;\r\n"));
}

TEST_F(CliSm, FailuresKeepTheExitStatusesOfTheDwiExport) {
    QFile old(path("old.sm"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    const QString bad = path("bad.kolvo");
    QFile b(bad);
    ASSERT_TRUE(b.open(QIODevice::WriteOnly));
    b.write("not a work file\r\n");
    b.close();

    CliRun r = cli({QStringLiteral("export"), bad, path("old.sm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith(bad + u':')) << r.err.toStdString();
    EXPECT_EQ(readAll(path("old.sm")), QByteArray("old"));

    r = cli({QStringLiteral("export"), song(), path("no/folder/x.sm")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.startsWith(path("no/folder/x.sm") + QStringLiteral(": cannot be written")))
        << r.err.toStdString();

    r = cli({QStringLiteral("--help")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("export SONG.kolvo OUT.sm")));
}

#include "core/dwi/dwiwriter.h"
#include "core/song/songmodel.h"
#include "workedexample.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace kolvo;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QByteArray lines(std::initializer_list<const char*> ls) {
    QByteArray b;
    for (const char* l : ls)
        b.append(l).append("\r\n");
    return b;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(DwiWriter, WorkedExampleMatchesTheGoldenFile) {
    SongModel m;
    test::fillWorkedExample(m);
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("demo.dwi"));
    ASSERT_FALSE(WriteDwiFile(m, path, DwiMode::Export));
    EXPECT_EQ(readAll(path), readAll(QStringLiteral(KOLVO_TEST_DATA_DIR "/worked_example.dwi")));
}

TEST(DwiWriter, LineConditions) {
    struct Case {
        const char* what;
        std::function<void(SongModel&)> set;
        DwiMode mode;
        QByteArray expected;
    } cases[] = {
        {"reset song, Normal status: only the required lines", [](SongModel&) {}, DwiMode::Export,
         lines({"#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;"})},
        {"fields trimmed of blanks; filetag gives #FILE:; Never gives NORMAL",
         [](SongModel& m) {
             m.setField(SummaryField::FileTag, QStringLiteral("  song.mp3 "));
             m.setField(SummaryField::SongName, QStringLiteral(" Title "));
             m.setField(SummaryField::Artist, QString::fromUtf8("Bj\u00f6rk"));
             m.setMarkAsNew(0);
         },
         DwiMode::Export,
         lines({"#FILE:song.mp3;", "#TITLE:Title;", "#ARTIST:Bj\xc3\xb6rk;", "#GAP:0;", "#BPM:120;",
                "#STATUS:NORMAL"})},
        {"tests take #FILE: from the music path",
         [](SongModel& m) {
             m.setField(SummaryField::FileTag, QStringLiteral("ignored"));
             m.setField(SummaryField::MusicFile, QStringLiteral(" /music/a b.mp3"));
         },
         DwiMode::EditorTest,
         lines({"#FILE:/music/a b.mp3;", "#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;"})},
        {"sample length without sample start: no sample lines; cd title and genre",
         [](SongModel& m) {
             m.setField(SummaryField::SampleLength, QStringLiteral("5000"));
             m.setField(SummaryField::CdTitle, QStringLiteral("cd.png"));
             m.setField(SummaryField::Genre, QStringLiteral("Trance"));
         },
         DwiMode::Export,
         lines({"#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;", "#CDTITLE:cd.png;",
                "#GENRE:Trance;"})},
        {"sample start alone writes an empty sample length",
         [](SongModel& m) { m.setField(SummaryField::SampleStart, QStringLiteral("1000")); },
         DwiMode::Export,
         lines({"#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;", "#SAMPLESTART:1000;",
                "#SAMPLELENGTH:;"})},
        {"tempo lists in bar and beat order; fractions with a leading zero",
         [](SongModel& m) {
             m.setTempo(Single, Basic, 3, 2, BPMCHANNEL, 75);
             m.setTempo(Single, Basic, 1, 1, BPMCHANNEL, 150);
             m.setTempo(Single, Basic, 100, 4, BPMCHANNEL, 0.5);
             m.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 500);
             m.setTempo(Single, Basic, 2, 2, FREEZECHANNEL, 0);   // no event
             m.setTempo(Single, Another, 4, 1, FREEZECHANNEL, 9); // not song-wide
         },
         DwiMode::Export,
         lines({"#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;", "#CHANGEBPM:0=150,36=75,1596=0.5;",
                "#FREEZE:16=500;"})},
        {"charts in style then level order, foot level as trimmed text",
         [](SongModel& m) {
             m.setDataexists(Solo, Basic, Value::number(1));
             m.setFootlevels(Solo, Basic, Value::number(1));
             m.setDataexists(Double, SManiac, Value::number(1));
             m.setFootlevels(Double, SManiac, Value::text(QStringLiteral(" 12 ")));
             m.setDataexists(Single, Maniac, Value::text(QStringLiteral("1")));
             m.setStep(Couple, Basic, 1, 1, 1, 1); // no flag: no line
         },
         DwiMode::Export,
         lines({"#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;", "#SINGLE:MANIAC::00000000;",
                "#DOUBLE:SMANIAC:12:00000000:0000000000000000;", "#SOLO:BASIC:1:00000000;"})},
        {"tick test: header, tempo lists, the tick chart and no song chart",
         [](SongModel& m) {
             m.setField(SummaryField::MusicFile, QStringLiteral("/m.mp3"));
             m.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 500);
             m.setDataexists(Single, Basic, Value::number(1));
         },
         DwiMode::TickTest,
         lines({"#FILE:/m.mp3;", "#TITLE:;", "#ARTIST:;", "#GAP:0;", "#BPM:120;", "#FREEZE:16=500;",
                qPrintable(QStringLiteral("#SINGLE:BASIC:1:") + QString(24, u'0') +
                           QStringLiteral("4060").repeated(72))})},
    };
    for (const Case& c : cases) {
        SongModel m;
        m.resetparameters();
        c.set(m);
        EXPECT_EQ(dwiFileText(m, c.mode), c.expected) << c.what;
    }
}

TEST(DwiWriter, TempoListOfEachChannel) {
    SongModel m;
    m.resetparameters();
    EXPECT_EQ(BuildTempoList(m, BPMCHANNEL), QString());
    m.setTempo(Single, Basic, 2, 3, FREEZECHANNEL, 250.25);
    EXPECT_EQ(BuildTempoList(m, BPMCHANNEL), QString());
    EXPECT_EQ(BuildTempoList(m, FREEZECHANNEL), QStringLiteral("#FREEZE:24=250.25;"));
    EXPECT_EQ(TempoEventPosition(100, 4), 1596);
}

TEST(DwiWriter, FailedWriteReportsAndKeepsTheOldFile) {
    QTemporaryDir dir;
    SongModel m;
    test::fillWorkedExample(m);
    auto err =
        WriteDwiFile(m, dir.filePath(QStringLiteral("no/such/folder/x.dwi")), DwiMode::Export);
    ASSERT_TRUE(err);
    EXPECT_TRUE(err->reason.startsWith(QStringLiteral("cannot be written")))
        << err->reason.toStdString();

    // A folder standing where the file should go cannot be replaced.
    QString path = dir.filePath(QStringLiteral("taken.dwi"));
    ASSERT_TRUE(QDir().mkdir(path));
    EXPECT_TRUE(WriteDwiFile(m, path, DwiMode::Export));
    EXPECT_TRUE(QFileInfo(path).isDir());
}

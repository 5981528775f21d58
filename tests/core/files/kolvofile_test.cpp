#include "core/files/filenumber.h"
#include "core/files/kolvofile.h"
#include "core/files/textcodec.h"
#include "core/song/songmodel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace kolvo;

inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace {

QByteArray crlf(const char* lines) {
    QByteArray b(lines);
    b.replace("\n", "\r\n");
    return b;
}

// The 47 fixed lines of a reset song with filetag "t".
const char* const kResetHead =
    "\"KOLVO-DEF\"\n\"\",\"musicadd\"\n\"\",\"songname\"\n\"\",\"artist\"\n\"\",\"genre\"\n"
    "\"120\",\"bpm\"\n\"0\",\"gap\"\n2,\"check1\"\n\"\",\"text1\"\n\"\",\"samplestart\"\n"
    "\"\",\"samplelength\"\n\"t\",\"filetag\"\n\"LEVELS\",\"\"\n"
    "\"\",\"level\",1,1\n\"\",\"level\",1,2\n\"\",\"level\",1,3\n\"\",\"level\",1,4\n"
    "\"\",\"level\",2,1\n\"\",\"level\",2,2\n\"\",\"level\",2,3\n\"\",\"level\",2,4\n"
    "\"\",\"level\",3,1\n\"\",\"level\",3,2\n\"\",\"level\",3,3\n\"\",\"level\",3,4\n"
    "\"\",\"level\",4,1\n\"\",\"level\",4,2\n\"\",\"level\",4,3\n\"\",\"level\",4,4\n"
    "\"DATAEXISTS\",\"\",\"\",\"\"\n"
    "0,\"dataexists\",1,1\n0,\"dataexists\",1,2\n0,\"dataexists\",1,3\n0,\"dataexists\",1,4\n"
    "0,\"dataexists\",2,1\n0,\"dataexists\",2,2\n0,\"dataexists\",2,3\n0,\"dataexists\",2,4\n"
    "0,\"dataexists\",3,1\n0,\"dataexists\",3,2\n0,\"dataexists\",3,3\n0,\"dataexists\",3,4\n"
    "0,\"dataexists\",4,1\n0,\"dataexists\",4,2\n0,\"dataexists\",4,3\n0,\"dataexists\",4,4\n"
    "\"STEPS\",\"\",\"\",\"\"\n";

struct Reset : SongModel {
    Reset() {
        setField(SummaryField::FileTag, QStringLiteral("t"));
        resetparameters();
    }
};

// A song using every kind of value the file carries.
void fillRichSong(SongModel& m) {
    m.setField(SummaryField::MusicFile, QString::fromUtf8("/music/Ünïcode, song.mp3"));
    m.setField(SummaryField::SongName, QStringLiteral("  Title, with comma  "));
    m.setField(SummaryField::Artist, QStringLiteral("line\r\nbreak"));
    m.setField(SummaryField::Bpm, QStringLiteral("140.5"));
    m.setField(SummaryField::SampleStart, QStringLiteral("1000"));
    m.setMarkAsNew(1);
    m.setFootlevels(1, 1, Value::text(QStringLiteral("7")));
    m.setFootlevels(2, 3, Value::number(1));
    m.setFootlevels(4, 4, Value());
    m.setDataexists(1, 1, Value::number(1));
    m.setDataexists(2, 3, Value::number(1));
    m.setDataexists(3, 2, Value());
    m.setStep(1, 1, 1, 1, 1, 1);
    m.setStep(1, 1, 2, 9, 1, 2);
    m.setStep(2, 3, 100, 32, 10, 1);
    m.setStep(4, 4, 50, 17, 5, 2);
    m.setTempo(1, 1, 5, 3, BPMCHANNEL, 150);
    m.setTempo(1, 1, 2, 1, FREEZECHANNEL, 0.25);
    m.setTempo(1, 1, 100, 4, BPMCHANNEL, 1e-7);
}

std::optional<FileError> readText(const QByteArray& text, SongModel& m) {
    return readKolvoData(text, QStringLiteral("song.kolvo"), m);
}

// Checking the bytes without a song says what reading them says.
void expectCheckAgrees(const QByteArray& text, const std::optional<FileError>& read) {
    const auto checked = checkKolvoData(text, QStringLiteral("song.kolvo"));
    ASSERT_EQ(bool(checked), bool(read)) << (checked ? checked->message().toStdString() : "ok");
    if (read) {
        EXPECT_EQ(checked->reason, read->reason);
        EXPECT_EQ(checked->line, read->line);
    }
}

} // namespace

TEST(KolvoWriter, ResetSongIsTheFixedLinesAndTheEndRecord) {
    Reset m;
    EXPECT_EQ(kolvoFileText(m), crlf(kResetHead) + "0,0,0,0,0,0\r\n");
}

TEST(KolvoWriter, StepRecordsInCellOrderWithTheirValueForms) {
    Reset m;
    m.setFootlevels(1, 1, Value::text(QStringLiteral("7")));
    m.setFootlevels(1, 2, Value::number(1));
    m.setDataexists(1, 1, Value::number(1));
    m.setStep(1, 1, 2, 9, 1, 1);
    m.setStep(1, 1, 2, 9, 6, 2);
    m.setTempo(1, 1, 5, 3, BPMCHANNEL, 150);
    m.setTempo(1, 1, 2, 1, FREEZECHANNEL, 500);
    m.setTempo(1, 1, 2, 2, FREEZECHANNEL, 0.5);
    m.setTempo(1, 1, 3, 1, BPMCHANNEL, 0); // a zero is no event
    m.setStep(4, 4, 100, 32, 5, 1);
    QByteArray text = kolvoFileText(m);
    EXPECT_TRUE(
        text.contains("\r\n\"7\",\"level\",1,1\r\n1,\"level\",1,2\r\n\"\",\"level\",1,3\r\n"));
    EXPECT_TRUE(text.contains("\r\n1,\"dataexists\",1,1\r\n"));
    EXPECT_TRUE(text.endsWith("\"STEPS\",\"\",\"\",\"\"\r\n"
                              "1,1,2,1,12,500\r\n1,1,2,2,12,0.5\r\n1,1,2,9,1,1\r\n1,1,2,9,6,2\r\n"
                              "1,1,5,3,11,150\r\n4,4,100,32,5,1\r\n0,0,0,0,0,0\r\n"));
}

TEST(KolvoWriter, ProgressAfterEachChart) {
    Reset m;
    QList<int> calls;
    kolvoFileText(m, [&](int n) { calls << n; });
    QList<int> expected;
    for (int i = 1; i <= 16; ++i)
        expected << i;
    EXPECT_EQ(calls, expected);
}

TEST(KolvoFile, RoundTripIsByteForByte) {
    Reset m;
    fillRichSong(m);
    QByteArray text = kolvoFileText(m);
    Reset back;
    ASSERT_FALSE(readText(text, back));
    EXPECT_EQ(kolvoFileText(back), text);
    EXPECT_EQ(back.songname(), m.songname());
    EXPECT_EQ(back.artist(), QStringLiteral("line\r\nbreak"));
    EXPECT_TRUE(back.footlevels(1, 1).isText());
    EXPECT_TRUE(back.footlevels(2, 3).isNumber());
    EXPECT_TRUE(back.footlevels(4, 4).isUnassigned());
    EXPECT_EQ(back.step(1, 1, 2, 9, 1), 2);
    EXPECT_EQ(back.tempo(1, 1, 100, 4, BPMCHANNEL), 1e-7);
    EXPECT_EQ(back.markAsNew(), 1);

    // And through a real file.
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("song.kolvo"));
    ASSERT_FALSE(writeKolvoFile(path, m));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), text);
    Reset fromFile;
    ASSERT_FALSE(readKolvoFile(path, fromFile));
    EXPECT_EQ(kolvoFileText(fromFile), text);
}

TEST(KolvoReader, KeyedLayoutReadsFieldsNotLines) {
    // Keys in any order, repeated (last wins), unknown keys skipped, the magic
    // inside the first field, a record spread over lines and two on one line,
    // blanks before fields, bare text, a quoted number for the flag.
    QByteArray text =
        crlf("junk KOLVO-DEF junk\n"
             "\"Old\",\"songname\"\n\"x\",\"unknown\"\n  \"New\" tail ,\"songname\"\n"
             "0,\"check1\"\n\"T\",\"filetag\"\n\"150\",\"bpm\"\nbare text,\"artist\"\n"
             "\"LEVELS\",\"\"\n"
             "\"12\",\"level\",1,1\n1,\"level\"\n4,4\n\"x\",\"other\",9,9\n"
             "\"DATAEXISTS\",\"\",\"\",\"\"\n"
             "\"1\",\"dataexists\",1,1\n1,\"dataexists\",4,4\n\"STEPS\",\"\",\"\",\"\"\n"
             "1,1,2,9,1,1,1,1\n2,9\n6,2\n0,0,0,0,0,0\n1,1,5,3,11,150.5\n\n");
    Reset m;
    auto err = readText(text, m);
    ASSERT_FALSE(err) << err->message().toStdString();
    EXPECT_EQ(m.songname(), QStringLiteral("New"));
    EXPECT_EQ(m.artist(), QStringLiteral("bare text"));
    EXPECT_EQ(m.bpm(), QStringLiteral("150"));
    EXPECT_EQ(m.gap(), QStringLiteral("0")); // not in the file: the reset value stays
    EXPECT_EQ(m.filetag(), QStringLiteral("T"));
    EXPECT_EQ(m.markAsNew(), 0);
    EXPECT_EQ(m.footlevels(1, 1), Value::text(QStringLiteral("12")));
    EXPECT_EQ(m.footlevels(4, 4), Value::number(1));
    EXPECT_EQ(m.dataexists(1, 1), Value::text(QStringLiteral("1")));
    EXPECT_TRUE(m.hasData(1, 1));
    EXPECT_TRUE(m.hasData(4, 4));
    EXPECT_EQ(m.step(1, 1, 2, 9, 1), 1);
    EXPECT_EQ(m.step(1, 1, 2, 9, 6), 2);
    EXPECT_EQ(m.tempo(1, 1, 5, 3, BPMCHANNEL), 150.5);
}

TEST(KolvoReader, LegacyLayoutHasNoMagicAndKeepsFiletag) {
    QByteArray text =
        crlf("\"/m.mp3\",\"Song\",\"Artist\",\"Genre\",\"130\",\"20\",1,\"cd.png\","
             "\"500\",\"\"\n"
             "\"3\",1,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"9\"\n"
             "1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\n"
             "1,1,1,1,3,2\n4,4,100,32,6,1\n");
    Reset m;
    ASSERT_FALSE(readText(text, m));
    EXPECT_EQ(m.musicadd(), QStringLiteral("/m.mp3"));
    EXPECT_EQ(m.genre(), QStringLiteral("Genre"));
    EXPECT_EQ(m.bpm(), QStringLiteral("130"));
    EXPECT_EQ(m.gap(), QStringLiteral("20"));
    EXPECT_EQ(m.markAsNew(), 1);
    EXPECT_EQ(m.cdTitle(), QStringLiteral("cd.png"));
    EXPECT_EQ(m.samplestart(), QStringLiteral("500"));
    EXPECT_EQ(m.filetag(), QStringLiteral("t"));
    EXPECT_EQ(m.footlevels(1, 1), Value::text(QStringLiteral("3")));
    EXPECT_EQ(m.footlevels(1, 2), Value::number(1));
    EXPECT_EQ(m.footlevels(4, 4), Value::text(QStringLiteral("9")));
    EXPECT_TRUE(m.hasData(1, 1));
    EXPECT_FALSE(m.hasData(1, 2));
    EXPECT_TRUE(m.hasData(4, 4));
    EXPECT_EQ(m.step(1, 1, 1, 1, 3), 2);
    EXPECT_EQ(m.step(4, 4, 100, 32, 6), 1);
}

TEST(KolvoReader, TextIsUtf8OrElseWindows1252) {
    const char* tail = ",\"songname\"\r\n\"LEVELS\",\"\"\r\n\"DATAEXISTS\",\"\",\"\",\"\"\r\n"
                       "\"STEPS\",\"\",\"\",\"\"\r\n0,0,0,0,0,0\r\n";
    struct Case {
        QByteArray title;
        QString expected;
    } cases[] = {
        {"\"Caf\xc3\xa9 \xe2\x82\xac\"", QString::fromUtf8("Café €")},
        {"\"Caf\xe9 \x80 \x96\"", QString::fromUtf8("Café € –")},
        {"\"\xc3\"", QString::fromUtf8("Ã")}, // a cut-off sequence is not UTF-8
    };
    for (const Case& c : cases) {
        Reset m;
        ASSERT_FALSE(readText("\"KOLVO-DEF\"\r\n" + c.title + tail, m));
        EXPECT_EQ(m.songname(), c.expected);
    }
    Reset bom; // a byte-order mark is not part of the first field
    ASSERT_FALSE(
        readText("\xEF\xBB\xBF\"/m.mp3\",\"t\",\"\",\"\",\"1\",\"2\",2,\"\",\"\",\"\"\r\n" +
                     QByteArray("\"\",").repeated(31) + "\"\"\r\n0,0,0,0,0,0\r\n",
                 bom));
    EXPECT_EQ(bom.musicadd(), QStringLiteral("/m.mp3"));
    EXPECT_TRUE(isValidUtf8("\xf0\x9f\x8e\xb5", 4));
    EXPECT_FALSE(isValidUtf8("\xed\xa0\x80", 3)); // a surrogate
    EXPECT_FALSE(isValidUtf8("\xc0\xaf", 2));     // an overlong slash
}

// Files are read a piece at a time: a character cut by the end of a piece
// still reads as UTF-8, and a byte that is not UTF-8 far past the first
// piece still makes every text Windows-1252.
TEST(KolvoFile, TextsAreJudgedOverTheWholeFileReadInPieces) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.kolvo"));
    const QByteArray start = "\"KOLVO-DEF\"\r\n\"";
    const QByteArray tail = "\"LEVELS\",\"\"\r\n\"DATAEXISTS\",\"\",\"\",\"\"\r\n"
                            "\"STEPS\",\"\",\"\",\"\"\r\n0,0,0,0,0,0\r\n";
    const QByteArray euro = "\xe2\x82\xac";
    const qsizetype piece = qsizetype(kKolvoReadPiece);
    struct Case {
        qsizetype cutAfter; // bytes of the euro sign in the first piece
        QByteArray artist;
        QString expectedArtist;
        QString expectedEnd; // the title's last character
    } cases[] = {
        {1, "Caf\xc3\xa9", QString::fromUtf8("Café"), QString::fromUtf8("€")},
        {2, "Caf\xc3\xa9", QString::fromUtf8("Café"), QString::fromUtf8("€")},
        {0, "Caf\xe9", QString::fromUtf8("Café"), QString::fromUtf8("â‚¬")},
    };
    for (const Case& c : cases) {
        const QByteArray title = QByteArray(piece - start.size() - c.cutAfter, 'a') + euro;
        const QByteArray text =
            start + title + "\",\"songname\"\r\n\"" + c.artist + "\",\"artist\"\r\n" + tail;
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(text), text.size());
        f.close();
        Reset m;
        ASSERT_FALSE(readKolvoFile(path, m)) << c.cutAfter;
        EXPECT_EQ(m.artist(), c.expectedArtist) << c.cutAfter;
        EXPECT_TRUE(m.songname().endsWith(c.expectedEnd)) << c.cutAfter;
        EXPECT_EQ(m.songname().size(), title.size() - euro.size() + c.expectedEnd.size());
        EXPECT_FALSE(checkKolvoFile(path)) << c.cutAfter;
    }
}

TEST(KolvoReader, RefusesWhatBreaksTheGrammarAndLeavesTheModelReset) {
    const QByteArray head = crlf(kResetHead);
    struct Case {
        QByteArray text;
        int line;
        const char* reason;
    } cases[] = {
        {"", 0, "the file is empty"},
        {"\r\n  \r\n", 0, "the file is empty"},
        {"\r\n\"KOLVO-DEF\r\n", 2, "the file ends inside a quoted text"},
        {head + "5,1,1,1,1,1\r\n", 48, "style 5 is not a whole number from 1 to 4"},
        {head + "1,0,1,1,1,1\r\n", 48, "level 0 is not a whole number from 1 to 4"},
        {head + "1,1,101,1,1,1\r\n", 48, "bar 101 is not a whole number from 1 to 100"},
        {head + "1,1,1,33,1,1\r\n", 48, "row 33 is not a whole number from 1 to 32"},
        {head + "1,1,1,1.5,1,1\r\n", 48, "row 1.5 is not a whole number from 1 to 32"},
        {head + "1,1,1,1,13,1\r\n", 48, "panel 13 is not a whole number from 1 to 12"},
        {head + "1,1,1,1,\"x\",1\r\n", 48, "panel \"x\" is not a whole number from 1 to 12"},
        {head + "1,1,1,1,,1\r\n", 48, "panel (empty) is not a whole number from 1 to 12"},
        {head + "0,0,0,0,0,0\r\n1,1,1,1,1,7\r\n", 49, "arrow value 7 is not 0, 1 or 2"},
        {head + "1,1,1,1,1,-1\r\n", 48, "arrow value -1 is not 0, 1 or 2"},
        {head + "1,1,1,1,1,1x\r\n", 48, "arrow value 1x is not 0, 1 or 2"},
        {head + "1,1,1,1,11,-120\r\n", 48, "tempo value -120 is negative"},
        {head + "1,1,1,1,12,fast\r\n", 48, "tempo value fast is not a number"},
        {head + "1,1,1,1,12,1e999\r\n", 48, "tempo value 1e999 is not a number"},
        {head + "1,1,1,1,1\r\n", 48, "the file ends inside a step record"},
        {head, 47, "the file ends before the first step record"},
        {crlf("\"KOLVO-DEF\"\n\"a\",\"songname\"\n"), 2, "the file ends before the LEVELS line"},
        {crlf("\"KOLVO-DEF\"\n\"LEVELS\",\"\"\n\"1\",\"level\",1,1\n"), 3,
         "the file ends before the DATAEXISTS line"},
        {crlf("\"KOLVO-DEF\"\n\"LEVELS\",\"\"\n\"DATAEXISTS\",\"\",\"\",\"\"\n1,\"dataexists\",1,"
              "1\n"),
         4, "the file ends before the STEPS line"},
        {crlf("\"KOLVO-DEF\"\n\"LEVELS\",\"\"\n\"1\",\"level\",0,1\n"), 3,
         "style 0 is not a whole number from 1 to 4"},
        {crlf("\"KOLVO-DEF\"\n\"LEVELS\",\"\"\n\"DATAEXISTS\",\"\",\"\",\"\"\n2,\"dataexists\",1,"
              "1\n"),
         4, "flag value 2 is not 0 or 1"},
        {crlf("\"KOLVO-DEF\"\n3,\"check1\"\n"), 2, "check1 value 3 is not 0, 1 or 2"},
        {crlf("\"KOLVO-DEF\"\n\"a\",\"songname\"\n\"open\n"), 3,
         "the file ends inside a quoted text"},
        {"\"/m.mp3\",\"a\",\"b\"\r\n", 1, "the file ends inside the header"},
        {"\"m\",\"a\",\"b\",\"g\",\"1\",\"2\",9,\"\",\"\",\"\"\r\n", 1,
         "check1 value 9 is not 0, 1 or 2"},
        {"\"m\",\"a\",\"b\",\"g\",\"1\",\"2\",0,\"\",\"\",\"\"\r\n1,1\r\n", 2,
         "the file ends inside the foot levels"},
    };
    for (const Case& c : cases) {
        Reset m;
        m.setField(SummaryField::FileTag, QStringLiteral("kept"));
        QByteArray before = kolvoFileText(m);
        auto err = readText(c.text, m);
        expectCheckAgrees(c.text, err);
        ASSERT_TRUE(err) << c.reason;
        EXPECT_EQ(err->reason, QString::fromUtf8(c.reason));
        EXPECT_EQ(err->line, c.line) << c.reason;
        EXPECT_EQ(kolvoFileText(m), before) << c.reason;
    }
}

TEST(KolvoReader, RecordsOfSixZerosAndEmptyValuesAreHarmless) {
    Reset m;
    m.setTempo(1, 1, 2, 1, BPMCHANNEL, 99); // cleared by the empty value below
    QByteArray text = crlf(kResetHead) + "0,0,0,0,0,0\r\n1,1,1,1,1,1\r\n0,0,0,0,0,0\r\n"
                                         "1,1,2,1,11,\"\"\r\n1,1,1,1,3,\r\n";
    ASSERT_FALSE(readText(text, m));
    EXPECT_EQ(m.step(1, 1, 1, 1, 1), 1);
    EXPECT_FALSE(m.hasTempo(1, 1, 2, 1, BPMCHANNEL));
}

// Step records among many plainly written ones (the reader takes those by a
// shorter road) read and fail exactly as they do alone: the same cells, the
// same reasons, the same line numbers.
TEST(KolvoReader, RecordsBetweenPlainRecordsReadAsAnywhere) {
    // Eight plain records on lines 48..55 (two rows of chart Double Maniac)
    // before the record under test, eight more after it.
    QByteArray before, after;
    for (int i = 0; i < 8; ++i)
        before += QByteArray("2,3,50,") + (i < 4 ? "17," : "18,") + QByteArray::number(i % 4 + 1) +
                  ",1\r\n";
    for (int i = 0; i < 8; ++i)
        after += "4,4,100,32," + QByteArray::number(i + 1) + ",2\r\n";
    after += "0,0,0,0,0,0\r\n";
    const QByteArray head = crlf(kResetHead);

    struct Accepted {
        QByteArray record;
        int panel;    // the cell at Single Basic bar 1 row 1 it sets
        double value; // arrow value, or tempo
    } accepted[] = {
        {"1,1,1,1,001,2\r\n", 1, 2},     {"1,1,1,1,3,1\n", 3, 1},
        {"1,1,1,1, 4,1\r\n", 4, 1},      {"1,1,1,1,5,\"2\"\r\n", 5, 2},
        {"1,1,1,1\r\n6,1\r\n", 6, 1},    {"1,1,1,1,7,1,1,1,1,1,10,1\r\n", 7, 1},
        {"1,1,1,1,8,1\r", 8, 1},         {"1,1,1,1,11,120.5\r\n", 11, 120.5},
        {"1,1,1,1,12,250\r\n", 12, 250}, {"1,1,1,1,2,0\r\n1,1,1,1,9,2\r\n", 9, 2},
    };
    for (const Accepted& c : accepted) {
        Reset m;
        auto err = readText(head + before + c.record + after, m);
        expectCheckAgrees(head + before + c.record + after, err);
        ASSERT_FALSE(err) << c.record.constData() << err->message().toStdString();
        if (c.panel <= kArrowPanels)
            EXPECT_EQ(m.step(1, 1, 1, 1, c.panel), c.value) << c.record.constData();
        else
            EXPECT_EQ(m.tempo(1, 1, 1, 1, c.panel), c.value) << c.record.constData();
        EXPECT_EQ(m.step(2, 3, 50, 18, 4), 1) << c.record.constData();
        EXPECT_EQ(m.step(4, 4, 100, 32, 8), 2) << c.record.constData();
        EXPECT_EQ(m.step(4, 4, 100, 32, 9), 0) << c.record.constData();
    }

    struct Refused {
        QByteArray record;
        int line;
        const char* reason;
    } refused[] = {
        {"1,1,1,1,1,7\r\n", 56, "arrow value 7 is not 0, 1 or 2"},
        {"1,1,1,1,1,1234\r\n", 56, "arrow value 1234 is not 0, 1 or 2"},
        {"1,1,1,1,13,1\r\n", 56, "panel 13 is not a whole number from 1 to 12"},
        {"1,1,101,1,1,1\r\n", 56, "bar 101 is not a whole number from 1 to 100"},
        {"5,1,1,1,1,1\r\n", 56, "style 5 is not a whole number from 1 to 4"},
        {"1,1,1,1,11,-1\r\n", 56, "tempo value -1 is negative"},
        {"1,1,1,1,6,1\r1,1,1,1,1,9\r\n", 57, "arrow value 9 is not 0, 1 or 2"},
        {"1,1,1,1,6,1\n\n1,1,1,1,1,9\r\n", 57, "style (empty) is not a whole number from 1 to 4"},
        {"1,1,1,1,6,1\r\n" + after.left(after.size() - 13) + "4,4,100,32,12,x\r\n", 65,
         "tempo value x is not a number"},
    };
    for (const Refused& c : refused) {
        Reset m;
        const QByteArray unchanged = kolvoFileText(m);
        auto err = readText(head + before + c.record + after, m);
        expectCheckAgrees(head + before + c.record + after, err);
        ASSERT_TRUE(err) << c.reason;
        EXPECT_EQ(err->reason, QString::fromUtf8(c.reason));
        EXPECT_EQ(err->line, c.line) << c.reason;
        EXPECT_EQ(kolvoFileText(m), unchanged) << c.reason;
    }
}

// A song that already holds steps (the reader is not only used after a
// reset) keeps what the file does not set, and keeps everything when the
// file is refused after many records.
TEST(KolvoReader, ReadingIntoASongWithStepsAddsToItOrLeavesIt) {
    QByteArray records;
    for (int b = 1; b <= 20; ++b)
        records += "1,1," + QByteArray::number(b) + ",1,1,1\r\n";
    const QByteArray head = crlf(kResetHead);
    for (bool refused : {false, true}) {
        Reset m;
        m.setStep(3, 2, 40, 5, 6, 2);
        m.setTempo(1, 1, 7, 2, FREEZECHANNEL, 300);
        const QByteArray unchanged = kolvoFileText(m);
        auto err = readText(head + records + (refused ? "1,1,1,1,1,3\r\n" : "0,0,0,0,0,0\r\n"), m);
        EXPECT_EQ(bool(err), refused);
        if (refused) {
            EXPECT_EQ(kolvoFileText(m), unchanged);
            continue;
        }
        EXPECT_EQ(m.step(3, 2, 40, 5, 6), 2);
        EXPECT_EQ(m.tempo(1, 1, 7, 2, FREEZECHANNEL), 300);
        EXPECT_EQ(m.step(1, 1, 20, 1, 1), 1);
    }
}

TEST(KolvoFile, ErrorMessageNamesFileLineAndReason) {
    EXPECT_EQ((FileError{QStringLiteral("song.kolvo"), 12,
                         QStringLiteral("arrow value 7 is not 0, 1 or 2")})
                  .message(),
              QStringLiteral("song.kolvo:12: arrow value 7 is not 0, 1 or 2"));
    EXPECT_EQ(
        (FileError{QStringLiteral("/a/b.kolvo"), 0, QStringLiteral("cannot be opened")}).message(),
        QStringLiteral("/a/b.kolvo: cannot be opened"));
    Reset m;
    auto err = readKolvoFile(QStringLiteral("/nonexistent/dir/x.kolvo"), m);
    ASSERT_TRUE(err);
    EXPECT_TRUE(err->reason.startsWith(QStringLiteral("cannot be opened")))
        << err->reason.toStdString();
}

TEST(KolvoWriter, RefusesValuesThatWouldReadBackDifferently) {
    struct Case {
        std::function<void(SongModel&)> set;
        const char* reason;
    } cases[] = {
        {[](SongModel& m) { m.setTempo(1, 1, 2, 1, FREEZECHANNEL, -5); },
         "the freeze at bar 2 beat 1 is -5, not a number of 0 or more"},
        {[](SongModel& m) { m.setField(SummaryField::Genre, QString(QChar(0xD800))); },
         "the field \"Genre\" holds a broken character, which a work file cannot store"},
    };
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("song.kolvo"));
    for (const Case& c : cases) {
        Reset m;
        c.set(m);
        auto problem = unwritableKolvoField(m);
        ASSERT_TRUE(problem) << c.reason;
        EXPECT_EQ(*problem, QString::fromUtf8(c.reason));
        auto err = writeKolvoFile(path, m);
        ASSERT_TRUE(err);
        EXPECT_EQ(err->reason, QString::fromUtf8(c.reason));
        EXPECT_FALSE(QFile::exists(path));
    }
}

// Values the original layout cannot carry go into the extended layout and
// read back exactly; the original layout's reader refuses that file.
TEST(KolvoWriter, ValuesPastTheOriginalLayoutReadBackExactly) {
    struct Case {
        const char* what;
        std::function<void(SongModel&)> set;
    } cases[] = {
        {"a double quote in a title",
         [](SongModel& m) {
             m.setField(SummaryField::SongName, QStringLiteral("\"AM-3P\" (CHAOS Special)"));
         }},
        {"a double quote in a foot level",
         [](SongModel& m) { m.setFootlevels(2, 4, Value::text(QStringLiteral("7\""))); }},
        {"a header text reading LEVELS",
         [](SongModel& m) { m.setField(SummaryField::Genre, QStringLiteral("LEVELS")); }},
        {"a foot level reading DATAEXISTS",
         [](SongModel& m) { m.setFootlevels(1, 1, Value::text(QStringLiteral("DATAEXISTS"))); }},
        {"a roll start", [](SongModel& m) { m.setStep(1, 2, 3, 4, 5, 3); }},
        {"a bar past 100", [](SongModel& m) { m.setStep(3, 3, 1234, 17, 9, 1); }},
        {"a 192nd row",
         [](SongModel& m) {
             ChartSteps steps = m.chartSteps(4, 2);
             steps.setKind(7, 5, PanelUpLeft, NoteKind::Mine);
             m.swapChartSteps(4, 2, steps);
         }},
        {"a BPM change between beats",
         [](SongModel& m) {
             m.setTempoAt(SongModel::slotOf(1, 1), tickOf(3, 24), BPMCHANNEL, 150.5);
         }},
        {"a Beginner chart",
         [](SongModel& m) {
             const ChartSlot slot = SongModel::slotOf(Single, Beginner);
             m.setChartFlags(slot, Value::number(2), Value::number(1));
             ChartSteps steps;
             steps.setKind(1, 0, PanelLeft, NoteKind::Arrow);
             m.swapSteps(slot, steps);
         }},
        {"an Edit chart with its own timing and kept tags",
         [](SongModel& m) {
             Chart c;
             c.style = Double;
             c.level = Edit;
             c.description = QStringLiteral("My \"hard\" edit, v2");
             c.footlevels = Value::text(QStringLiteral("13"));
             c.dataexists = Value::number(1);
             c.steps.setKind(2, 96, PanelRight2, NoteKind::Lift);
             c.steps.setKind(2, 100, PanelLeft2, NoteKind::Fake);
             auto t = std::make_shared<TimingData>();
             t->offsetMs = -12.5;
             t->bpm = 181.25;
             t->bpms = {{tickOf(5, 0), 90}};
             t->stops = {{tickOf(6, 48), 250}};
             t->delays = {{tickOf(7, 0), 100}};
             t->warps = {{tickOf(8, 0), 2.5}};
             t->kept = {{"SCROLLS", "0.000=1.000,\n12.000=0.500"}};
             c.timing = t;
             c.kept = {{"RADARVALUES", "0.1,0.2"}, {"CREDIT", "someone \"quoted\""}};
             m.addChart(c);
         }},
        {"another game's chart",
         [](SongModel& m) {
             Chart c;
             c.stepsType = "pump-single";
             c.columns = 5;
             c.level = Maniac;
             c.footlevels = Value::number(9);
             c.steps.setKind(1, 0, 5, NoteKind::FreezeStart);
             c.steps.setKind(1, 48, 5, NoteKind::Arrow);
             m.addChart(c);
         }},
        {"kept header tags and song timing extras",
         [](SongModel& m) {
             m.setKeptHeader({{"SUBTITLE", "a, b; c"}, {"BANNER", "bn.png"}});
             TimingData extras;
             extras.delays = {{tickOf(2, 0), 50}};
             extras.warps = {{tickOf(3, 12), 1}};
             extras.kept = {{"TICKCOUNTS", "0.000=4"}};
             m.setSongTimingExtras(extras);
         }},
    };
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.kolvo"));
    for (const Case& c : cases) {
        Reset m;
        m.setStep(1, 1, 2, 9, 1, 1);
        c.set(m);
        EXPECT_FALSE(unwritableKolvoField(m)) << c.what;
        ASSERT_FALSE(writeKolvoFile(path, m)) << c.what;
        Reset back;
        auto err = readKolvoFile(path, back);
        ASSERT_FALSE(err) << c.what << ": " << err->message().toStdString();
        EXPECT_TRUE(back.sameSongAs(m)) << c.what;
        EXPECT_FALSE(checkKolvoFile(path)) << c.what;

        // What an older copy of the program makes of the file: a legacy
        // file whose Mark-as-new value is the words asking for a newer one.
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        EXPECT_TRUE(text.startsWith(
            "\"KOLVO-EXT\",\"1\",\"\",\"\",\"\",\"\",\"needs a newer version of Kolvo\"\r\n"))
            << c.what;
    }
}

// A file of the extended layout that is broken is refused with its line.
TEST(KolvoReader, BrokenExtendedFilesAreRefusedWithTheirLine) {
    const QByteArray head =
        "\"KOLVO-EXT\",\"1\",\"\",\"\",\"\",\"\",\"needs a newer version of Kolvo\"\r\n";
    struct Case {
        QByteArray body;
        int line;
        const char* reason;
    } cases[] = {
        {"end\r\n", 0, nullptr},
        {"", 1, "the file ends before its end line"},
        {"chart,1,1,\"\",0,\"\",1,1\r\nn,0,1,7\r\nend\r\n", 3,
         "note kind 7 is not a whole number from 1 to 6"},
        {"chart,1,1,\"\",0,\"\",1,1\r\nn,1919999,1,1\r\nend\r\n", 3,
         "row 1919999 is not a whole number from 0 to 1919807"},
        {"n,0,1,1\r\nend\r\n", 2, "a note stands before the first chart"},
        {"chart,1,1,\"\",0,\"\",1,1\r\nchart,1,1,\"\",0,\"\",1,1\r\nend\r\n", 3,
         "Single Basic is listed twice"},
        {"field,\"songname\",\"a\"b\"\r\nend\r\n", 2,
         "a quoted text is followed by more than a comma"},
        {"field,\"songname\",\"open\r\nend\r\n", 2, "the file ends inside a quoted text"},
        {"bogus,1\r\nend\r\n", 2, "unknown record bogus"},
        {"end\r\nn,0,1,1\r\n", 3, "more follows the end line"},
        {"chart,0,1,\"\",0,\"\",1,1\r\nend\r\n", 2,
         "a chart names both a style and another game's type, or neither"},
    };
    for (const Case& c : cases) {
        Reset m;
        m.setField(SummaryField::SongName, QStringLiteral("kept"));
        auto err = readKolvoData(head + c.body, QStringLiteral("x.kolvo"), m);
        if (!c.reason) {
            EXPECT_FALSE(err) << c.body.toStdString();
            continue;
        }
        ASSERT_TRUE(err) << c.body.toStdString();
        EXPECT_EQ(err->line, c.line) << c.body.toStdString();
        EXPECT_EQ(err->reason, QString::fromUtf8(c.reason)) << c.body.toStdString();
        EXPECT_EQ(m.songname(), QStringLiteral("kept"));
    }
    Reset m;
    auto newer = readKolvoData("\"KOLVO-EXT\",\"2\"\r\nend\r\n", QStringLiteral("x.kolvo"), m);
    ASSERT_TRUE(newer);
    EXPECT_EQ(newer->reason, QStringLiteral("the file was written in layout 2 by a newer version "
                                            "of Kolvo; this version reads layout 1"));
}

TEST(KolvoWriter, FailedWriteLeavesTheExistingFileUntouched) {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("song.kolvo"));
    Reset small;
    ASSERT_FALSE(writeKolvoFile(path, small));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    // Refused before writing: the old file stays.
    Reset negative;
    negative.setTempo(1, 1, 1, 1, FREEZECHANNEL, -1);
    EXPECT_TRUE(writeKolvoFile(path, negative));

    // A full disk, simulated by a file-size limit smaller than the new file.
    Reset big;
    for (int b = 1; b <= 100; ++b)
        big.setStep(1, 1, b, 1, 1, 1);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tight = old;
    tight.rlim_cur = 2000;
    setrlimit(RLIMIT_FSIZE, &tight);
    auto err = writeKolvoFile(path, big);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(err);
    EXPECT_TRUE(err->reason.startsWith(QStringLiteral("cannot be written")))
        << err->reason.toStdString();

    // A folder that does not exist.
    EXPECT_TRUE(writeKolvoFile(dir.filePath(QStringLiteral("missing/song.kolvo")), big));

    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("song.kolvo")});
}

TEST(FileNumber, PlainDecimalWithALeadingZeroReadsBackExactly) {
    struct Case {
        double v;
        const char* text;
    } cases[] = {
        {150, "150"}, {0.5, "0.5"},         {-0.25, "-0.25"},    {0, "0"},
        {-0.0, "0"},  {128.125, "128.125"}, {1e-7, "0.0000001"}, {1e21, "1000000000000000000000"}};
    for (const Case& c : cases) {
        QString t = fileNumberText(c.v);
        EXPECT_EQ(t, QString::fromLatin1(c.text));
        QByteArray b = t.toLatin1();
        EXPECT_EQ(fileFieldNumber(b.constData(), b.constData() + b.size()), c.v == 0 ? 0.0 : c.v);
    }
    for (const char* bad :
         {"", "-", ".", "1.2.3", "1e", "nan", "inf", "0x10", "+-1", "1 2", "1e400"})
        EXPECT_FALSE(fileFieldNumber(bad, bad + std::strlen(bad))) << bad;
    for (const char* good : {"+1", ".5", "5.", "1e3", "-2E-2", "7  "})
        EXPECT_TRUE(fileFieldNumber(good, good + std::strlen(good))) << good;
}

// The .sm export: the worked example as a golden file, small songs of each
// style, resolution, freeze case and tempo event, the number and meter
// texts, the tag-splitting check, and the write to disk.
#include "core/formats/tagtext.h"
#include "core/sm/smwriter.h"
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

// One #NOTES block; `bars` holds the bars separated by "," and the lines of
// a bar separated by blanks ("1000 0000 0000 0000,0000 0000 0000 0000").
QByteArray block(const char* type, const char* difficulty, int meter, const char* bars) {
    QByteArray b = "\r\n#NOTES:\r\n     " + QByteArray(type) + ":\r\n     :\r\n     " +
                   QByteArray(difficulty) + ":\r\n     " + QByteArray::number(meter) +
                   ":\r\n     0,0,0,0,0:\r\n";
    const QList<QByteArray> measures = QByteArray(bars).split(',');
    for (qsizetype i = 0; i < measures.size(); ++i) {
        if (i > 0)
            b += ",\r\n";
        for (const QByteArray& l : measures[i].split(' '))
            b += l + "\r\n";
    }
    return b + ";\r\n";
}

// A bar of `n` empty lines of `width` columns, with `put` lines replaced.
QByteArray bar(int n, int width, std::initializer_list<std::pair<int, const char*>> put = {}) {
    QList<QByteArray> ls(n, QByteArray(width, '0'));
    for (const auto& [line, text] : put)
        ls[line] = text;
    return ls.join(' ');
}

QByteArray bars(std::initializer_list<QByteArray> bs) {
    return QList<QByteArray>(bs).join(',');
}

QByteArray emptyBars(int count, int width) {
    return QList<QByteArray>(count, bar(4, width)).join(',');
}

// The notes blocks of a file (everything from the first #NOTES on).
QByteArray notesOf(const QByteArray& file) {
    const qsizetype at = file.indexOf("\r\n#NOTES:");
    return at < 0 ? QByteArray() : file.mid(at);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void chart(SongModel& m, int s, int l, const char* foot = "1") {
    m.setDataexists(s, l, Value::number(1));
    m.setFootlevels(s, l, Value::text(QString::fromLatin1(foot)));
}

} // namespace

TEST(SmWriter, WorkedExampleMatchesTheGoldenFile) {
    SongModel m;
    test::fillWorkedExample(m);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("demo.sm"));
    ASSERT_FALSE(writeSmFile(m, path));
    EXPECT_EQ(readAll(path), readAll(QStringLiteral(KOLVO_TEST_DATA_DIR "/worked_example.sm")));
}

TEST(SmWriter, Header) {
    const QByteArray reset =
        lines({"#TITLE:;", "#SUBTITLE:;", "#ARTIST:;", "#GENRE:;", "#CDTITLE:;", "#MUSIC:;",
               "#OFFSET:0.000;", "#BPMS:0.000=120.000;", "#STOPS:;"});
    struct Case {
        const char* what;
        std::function<void(SongModel&)> set;
        QByteArray expected;
    } cases[] = {
        {"reset song: every tag, BPM 120, no sample lines", [](SongModel&) {}, reset},
        {"texts trimmed of blanks and written as UTF-8; the file tag is the music",
         [](SongModel& m) {
             m.setField(SummaryField::SongName, QStringLiteral(" Title (Remix) "));
             m.setField(SummaryField::Artist, QString::fromUtf8("Bj\u00f6rk"));
             m.setField(SummaryField::Genre, QStringLiteral("Trance  "));
             m.setField(SummaryField::CdTitle, QStringLiteral("cd.png"));
             m.setField(SummaryField::FileTag, QStringLiteral(" song.ogg"));
             m.setField(SummaryField::MusicFile, QStringLiteral("/not/this.mp3"));
         },
         lines({"#TITLE:Title (Remix);", "#SUBTITLE:;", "#ARTIST:Bj\xc3\xb6rk;", "#GENRE:Trance;",
                "#CDTITLE:cd.png;", "#MUSIC:song.ogg;", "#OFFSET:0.000;", "#BPMS:0.000=120.000;",
                "#STOPS:;"})},
        {"gap as a negative offset in seconds; a negative gap gives a positive offset",
         [](SongModel& m) { m.setField(SummaryField::Gap, QStringLiteral("-1234.5")); },
         lines({"#TITLE:;", "#SUBTITLE:;", "#ARTIST:;", "#GENRE:;", "#CDTITLE:;", "#MUSIC:;",
                "#OFFSET:1.2345;", "#BPMS:0.000=120.000;", "#STOPS:;"})},
        {"sample start decides both sample lines; an empty length is 0",
         [](SongModel& m) {
             m.setField(SummaryField::SampleStart, QStringLiteral("12000"));
             m.setField(SummaryField::Gap, QStringLiteral("7"));
         },
         lines({"#TITLE:;", "#SUBTITLE:;", "#ARTIST:;", "#GENRE:;", "#CDTITLE:;", "#MUSIC:;",
                "#OFFSET:-0.007;", "#SAMPLESTART:12.000;", "#SAMPLELENGTH:0.000;",
                "#BPMS:0.000=120.000;", "#STOPS:;"})},
        {"sample length alone writes no sample line",
         [](SongModel& m) { m.setField(SummaryField::SampleLength, QStringLiteral("15000")); },
         reset},
        {"BPM changes and stops in bar and beat order; other charts carry no tempo events",
         [](SongModel& m) {
             m.setField(SummaryField::Bpm, QStringLiteral("95.5"));
             m.setTempo(Single, Basic, 3, 2, BPMCHANNEL, 191.33);
             m.setTempo(Single, Basic, 100, 4, BPMCHANNEL, 0.5);
             m.setTempo(Single, Basic, 2, 1, FREEZECHANNEL, 123);
             m.setTempo(Single, Basic, 2, 2, FREEZECHANNEL, 0); // no event
             m.setTempo(Single, Basic, 3, 2, FREEZECHANNEL, 1500.25);
             m.setTempo(Single, Another, 4, 1, FREEZECHANNEL, 9);
         },
         lines({"#TITLE:;", "#SUBTITLE:;", "#ARTIST:;", "#GENRE:;", "#CDTITLE:;", "#MUSIC:;",
                "#OFFSET:0.000;", "#BPMS:0.000=95.500,9.000=191.330,399.000=0.500;",
                "#STOPS:4.000=0.123,9.000=1.50025;"})},
        {"a change on beat 0 replaces the song's BPM; tempos not above 0 are left out",
         [](SongModel& m) {
             m.setTempo(Single, Basic, 1, 1, BPMCHANNEL, 150);
             m.setTempo(Single, Basic, 2, 1, BPMCHANNEL, -60);
         },
         lines({"#TITLE:;", "#SUBTITLE:;", "#ARTIST:;", "#GENRE:;", "#CDTITLE:;", "#MUSIC:;",
                "#OFFSET:0.000;", "#BPMS:0.000=150.000;", "#STOPS:;"})},
        {"a song BPM of 0 is left out like the DWI reader leaves it out",
         [](SongModel& m) {
             m.setField(SummaryField::Bpm, QStringLiteral("0"));
             m.setTempo(Single, Basic, 2, 1, BPMCHANNEL, 100);
         },
         lines({"#TITLE:;", "#SUBTITLE:;", "#ARTIST:;", "#GENRE:;", "#CDTITLE:;", "#MUSIC:;",
                "#OFFSET:0.000;", "#BPMS:4.000=100.000;", "#STOPS:;"})},
    };
    for (const Case& c : cases) {
        SongModel m;
        m.resetparameters();
        c.set(m);
        EXPECT_EQ(encodeSmFile(m), c.expected) << c.what;
    }
}

TEST(SmWriter, Charts) {
    struct Case {
        const char* what;
        std::function<void(SongModel&)> set;
        QByteArray expected;
    } cases[] = {
        {"an existing chart with nothing in it is one bar of rests",
         [](SongModel& m) { chart(m, Single, Basic); },
         block("dance-single", "Easy", 1, emptyBars(1, 4))},
        {"eighths", [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 5, PanelDown, 1);
             m.setStep(Single, Basic, 1, 29, PanelUp, 1);
         },
         block("dance-single", "Easy", 1,
               bars({bar(8, 4, {{1, "0100"}, {7, "0010"}}), bar(4, 4)}))},
        {"sixteenths", [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 31, PanelRight, 1);
         },
         block("dance-single", "Easy", 1, bars({bar(16, 4, {{15, "0001"}}), bar(4, 4)}))},
        {"thirty-seconds, whatever else the bar holds; each bar on its own",
         [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 1, PanelLeft, 1);
             m.setStep(Single, Basic, 1, 3, PanelDown, 1);
             m.setStep(Single, Basic, 1, 32, PanelRight, 1);
             m.setStep(Single, Basic, 2, 17, PanelUp, 1);
         },
         block("dance-single", "Easy", 1,
               bars({bar(32, 4, {{0, "1000"}, {2, "0100"}, {31, "0001"}}),
                     bar(4, 4, {{2, "0010"}}), bar(4, 4)}))},
        {"Double: first pad then second pad; the second half's extra bar is kept",
         [](SongModel& m) {
             chart(m, Double, Basic);
             m.setStep(Double, Basic, 1, 1, PanelLeft, 1);
             m.setStep(Double, Basic, 1, 1, PanelRight2, 1);
             m.setStep(Double, Basic, 1, 9, PanelDown2, 1);
             m.setStep(Double, Basic, 1, 9, PanelUp, 1);
             m.setStep(Double, Basic, 1, 9, PanelUpLeft, 1); // not on a Double pad
         },
         block("dance-double", "Easy", 1,
               bars({bar(4, 8, {{0, "10000001"}, {1, "00100100"}}), bar(4, 8), bar(4, 8)}))},
        {"Couple: the same columns under its own name",
         [](SongModel& m) {
             chart(m, Couple, Maniac, "9");
             m.setStep(Couple, Maniac, 2, 2, PanelUp2, 1);
         },
         block("dance-couple", "Hard", 9,
               bars({bar(4, 8), bar(32, 8, {{1, "00000010"}}), bar(4, 8), bar(4, 8)}))},
        {"Solo: left, up-left, down, up, up-right, right",
         [](SongModel& m) {
             chart(m, Solo, SManiac, "12");
             m.setStep(Solo, SManiac, 1, 1, PanelUpLeft, 1);
             m.setStep(Solo, SManiac, 1, 1, PanelUpRight, 1);
             m.setStep(Solo, SManiac, 1, 17, PanelLeft, 1);
             m.setStep(Solo, SManiac, 1, 17, PanelDown, 1);
             m.setStep(Solo, SManiac, 1, 17, PanelRight, 1);
             m.setStep(Solo, SManiac, 1, 25, PanelLeft2, 1); // not a Solo panel
         },
         block("dance-solo", "Challenge", 12,
               bars({bar(4, 6, {{0, "010010"}, {2, "101001"}}), bar(4, 6)}))},
        {"Single leaves out the other panels, though they lengthen the chart as in DWI",
         [](SongModel& m) {
             chart(m, Single, Another);
             m.setStep(Single, Another, 3, 2, PanelLeft2, 1);
         },
         block("dance-single", "Medium", 1, emptyBars(4, 4))},
        {"tempo events lengthen Single Basic only",
         [](SongModel& m) {
             chart(m, Single, Basic);
             chart(m, Single, Another);
             m.setTempo(Single, Basic, 3, 1, FREEZECHANNEL, 500);
         },
         block("dance-single", "Easy", 1, emptyBars(4, 4)) +
             block("dance-single", "Medium", 1, emptyBars(1, 4))},
        {"a freeze holds to the next arrow in its panel, which ends it; across bars",
         [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 25, PanelLeft, 2);
             m.setStep(Single, Basic, 1, 25, PanelRight, 1);
             m.setStep(Single, Basic, 2, 3, PanelLeft, 1);
             m.setStep(Single, Basic, 2, 9, PanelLeft, 1);
         },
         block("dance-single", "Easy", 1,
               bars({bar(4, 4, {{3, "2001"}}), bar(16, 4, {{1, "3000"}, {4, "1000"}}),
                     bar(4, 4)}))},
        {"a freeze with no later arrow in its panel is read as nothing",
         [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 1, PanelUp, 1);
             m.setStep(Single, Basic, 1, 9, PanelUp, 2);
             m.setStep(Single, Basic, 1, 9, PanelDown, 1);
             m.setStep(Single, Basic, 1, 13, PanelRight, 2);
         },
         block("dance-single", "Easy", 1,
               bars({bar(4, 4, {{0, "0010"}, {1, "0100"}}), bar(4, 4)}))},
        {"a freeze ending on another freeze: that one is the end and starts nothing",
         [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 1, PanelDown, 2);
             m.setStep(Single, Basic, 1, 9, PanelDown, 2);
             m.setStep(Single, Basic, 1, 17, PanelDown, 1);
             m.setStep(Single, Basic, 1, 25, PanelDown, 2);
             m.setStep(Single, Basic, 2, 1, PanelDown, 1);
         },
         block("dance-single", "Easy", 1,
               bars({bar(4, 4, {{0, "0200"}, {1, "0300"}, {2, "0100"}, {3, "0200"}}),
                     bar(4, 4, {{0, "0300"}}), bar(4, 4)}))},
        {"two arrows both freezing hold both",
         [](SongModel& m) {
             chart(m, Single, Basic);
             m.setStep(Single, Basic, 1, 1, PanelLeft, 2);
             m.setStep(Single, Basic, 1, 1, PanelRight, 2);
             m.setStep(Single, Basic, 1, 5, PanelLeft, 1);
             m.setStep(Single, Basic, 1, 5, PanelRight, 1);
         },
         block("dance-single", "Easy", 1,
               bars({bar(8, 4, {{0, "2002"}, {1, "3003"}}), bar(4, 4)}))},
        {"every freeze of a row of three or more arrows holds",
         [](SongModel& m) {
             chart(m, Single, Basic);
             for (int p : {PanelLeft, PanelDown, PanelUp})
                 m.setStep(Single, Basic, 1, 1, p, 2);
             m.setStep(Single, Basic, 1, 1, PanelRight, 1);
             // Down and up end their holds here; right freezes.
             m.setStep(Single, Basic, 1, 9, PanelDown, 2);
             m.setStep(Single, Basic, 1, 9, PanelUp, 1);
             m.setStep(Single, Basic, 1, 9, PanelRight, 2);
             for (int p : {PanelLeft, PanelDown, PanelUp, PanelRight})
                 m.setStep(Single, Basic, 1, 17, p, 1);
         },
         block("dance-single", "Easy", 1,
               bars({bar(4, 4, {{0, "2221"}, {1, "0332"}, {2, "3113"}}), bar(4, 4)}))},
        {"both pads' freezes hold",
         [](SongModel& m) {
             chart(m, Couple, Basic);
             for (int p : {PanelLeft, PanelDown, PanelUp, PanelLeft2, PanelDown2, PanelUp2})
                 m.setStep(Couple, Basic, 1, 1, p, 2);
             for (int p : {PanelLeft, PanelDown, PanelUp, PanelLeft2, PanelDown2, PanelUp2})
                 m.setStep(Couple, Basic, 1, 5, p, 1);
         },
         block("dance-couple", "Easy", 1,
               bars({bar(8, 8, {{0, "22202220"}, {1, "33303330"}}), bar(4, 8), bar(4, 8)}))},
        {"Solo's freezes hold in Solo's panel order",
         [](SongModel& m) {
             chart(m, Solo, Basic);
             for (int p : {PanelUpLeft, PanelUp, PanelUpRight})
                 m.setStep(Solo, Basic, 1, 1, p, 2);
             for (int p : {PanelUpLeft, PanelUp, PanelUpRight})
                 m.setStep(Solo, Basic, 2, 1, p, 1);
         },
         block("dance-solo", "Easy", 1,
               bars({bar(4, 6, {{0, "020220"}}), bar(4, 6, {{0, "030330"}}), bar(4, 6)}))},
        {"charts in style then level order with their difficulties",
         [](SongModel& m) {
             chart(m, Solo, Another, "2");
             chart(m, Single, SManiac, "4");
             chart(m, Double, Maniac, "3");
             m.setStep(Couple, Basic, 1, 1, PanelLeft, 1); // no flag: no chart
         },
         block("dance-single", "Challenge", 4, emptyBars(1, 4)) +
             block("dance-double", "Hard", 3, emptyBars(2, 8)) +
             block("dance-solo", "Medium", 2, emptyBars(1, 6))},
    };
    for (const Case& c : cases) {
        SongModel m;
        m.resetparameters();
        c.set(m);
        EXPECT_EQ(QString::fromLatin1(notesOf(encodeSmFile(m))), QString::fromLatin1(c.expected))
            << c.what;
    }
}

TEST(SmWriter, ChartsRunToTheLastBarTheDwiExportWrites) {
    struct Case {
        int style, lastArrowBar, bars;
    } cases[] = {
        {Single, 5, 6},    {Single, 99, 100}, {Single, 100, 100}, {Double, 5, 7},
        {Couple, 98, 100}, {Double, 99, 100}, {Solo, 100, 100},
    };
    for (const Case& c : cases) {
        SongModel m;
        m.resetparameters();
        chart(m, c.style, Basic);
        m.setStep(c.style, Basic, c.lastArrowBar, 1, PanelLeft, 1);
        const QByteArray notes = notesOf(encodeSmFile(m));
        EXPECT_EQ(notes.count(",\r\n") + 1, c.bars) << c.style << " " << c.lastArrowBar;
    }
}

TEST(SmWriter, Numbers) {
    struct Case {
        double value;
        const char* plain;
        const char* seconds; // the value as milliseconds, in seconds
    } cases[] = {
        {0, "0.000", "0.000"},
        {-0.0, "0.000", "0.000"},
        {95.5, "95.500", "0.0955"},
        {191.33, "191.330", "0.19133"},
        {250, "250.000", "0.250"},
        {-250, "-250.000", "-0.250"},
        {123, "123.000", "0.123"},
        {1, "1.000", "0.001"},
        {0.5, "0.500", "0.0005"},
        {1500, "1500.000", "1.500"},
        {123456.789, "123456.789", "123.456789"},
        {0.1234567, "0.1234567", "0.0001234567"},
        {1e21, "1000000000000000000000.000", "1000000000000000000.000"},
        {1.0 / 3, "0.3333333333333333", "0.0003333333333333333"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(smDecimal(c.value), c.plain) << c.value;
        EXPECT_EQ(smSecondsFromMs(c.value), c.seconds) << c.value;
    }
}

TEST(SmWriter, MeterOfFootLevel) {
    struct Case {
        const char* text;
        int meter;
    } cases[] = {
        {"3", 3},   {" 12 ", 12}, {"\t7", 7}, {"+5", 5}, {"3.9", 3}, {"8abc", 8},        {"", 1},
        {"abc", 1}, {"0", 1},     {"-4", 1},  {".5", 1}, {"+-5", 1}, {"99999999999", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(smMeterOfFootLevel(QString::fromLatin1(c.text)), c.meter) << c.text;

    SongModel m;
    m.resetparameters();
    m.setDataexists(Single, Basic, Value::number(1));
    m.setFootlevels(Single, Basic, Value::number(6));
    EXPECT_TRUE(notesOf(encodeSmFile(m)).contains("\r\n     6:\r\n"));
    m.setFootlevels(Single, Basic, Value());
    EXPECT_TRUE(notesOf(encodeSmFile(m)).contains("\r\n     1:\r\n"));
}

TEST(SmTagCheck, FindsTheTextThatSplitsATag) {
    struct Case {
        SummaryField field;
        const char* text;
        const char* label;
        const char* splitter; // nullptr: nothing found
    } cases[] = {
        {SummaryField::SongName, "Title: Act 2", "Name of song", ":"},
        {SummaryField::Artist, "A;B", "Name of artist", ";"},
        {SummaryField::Genre, "drum//bass", "Genre", "//"},
        {SummaryField::CdTitle, "C:\\cd.png", "Location of CD pic", ":"},
        {SummaryField::FileTag, "music\\song.mp3", "#FILE tag", "\\"},
        {SummaryField::SongName, "http:/a/b", "Name of song", ":"},
        {SummaryField::SongName, "a/b / c", nullptr, nullptr},
        {SummaryField::SongName, "Plain (Remix) #1 - 'x'", nullptr, nullptr},
        {SummaryField::MusicFile, "/music/a:b.mp3", nullptr, nullptr}, // not written
        {SummaryField::Bpm, "1:2", nullptr, nullptr},                  // written as a number
    };
    for (const Case& c : cases) {
        SongModel m;
        m.resetparameters();
        m.setField(c.field, QString::fromLatin1(c.text));
        const auto found = smTagTextProblems(m);
        if (!c.splitter) {
            EXPECT_TRUE(found.empty()) << c.text;
            continue;
        }
        ASSERT_EQ(found.size(), 1) << c.text;
        EXPECT_EQ(summaryFieldLabel(found[0].field), c.label);
        EXPECT_EQ(found[0].splitter, c.splitter);
    }

    SongModel m;
    m.resetparameters();
    m.setField(SummaryField::FileTag, QStringLiteral("a//b"));
    m.setField(SummaryField::SongName, QStringLiteral("x;y"));
    const auto found = smTagTextProblems(m);
    ASSERT_EQ(found.size(), 2);
    EXPECT_EQ(tagTextWarning(found, QStringLiteral("StepMania")),
              "The simulators will not read these fields as typed, because they hold characters "
              "that end or split a StepMania tag:\n"
              "\"#FILE tag\" holds \"//\"\n\"Name of song\" holds \";\"");
}

TEST(SmWriter, WritesTheWholeFileOrNothing) {
    SongModel m;
    test::fillWorkedExample(m);
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("no/folder/song.sm"));
    const auto err = writeSmFile(m, missing);
    ASSERT_TRUE(err.has_value());
    EXPECT_EQ(err->file, missing);
    EXPECT_TRUE(err->reason.startsWith(QStringLiteral("cannot be written")));

    // A folder in the way of the file: refused, the folder stays.
    const QString blocked = dir.filePath(QStringLiteral("taken.sm"));
    ASSERT_TRUE(QDir().mkpath(blocked));
    EXPECT_TRUE(writeSmFile(m, blocked).has_value());
    EXPECT_TRUE(QFileInfo(blocked).isDir());

    const QString existing = dir.filePath(QStringLiteral("old.sm"));
    {
        QFile f(existing);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    ASSERT_FALSE(writeSmFile(m, existing));
    EXPECT_EQ(readAll(existing), encodeSmFile(m));
}

// Beginner and Edit charts, every note kind, notes between the 32nd rows and
// past bar 100: all of it is written.
TEST(SmWriter, EveryChartAndNoteKind) {
    SongModel m;
    m.resetparameters();
    ChartSteps steps;
    steps.setKind(1, 0, PanelLeft, NoteKind::Mine);
    steps.setKind(1, 16, PanelDown, NoteKind::RollStart); // a 12th
    steps.setKind(1, 64, PanelDown, NoteKind::Arrow);     // the roll's end
    steps.setKind(1, 96, PanelUp, NoteKind::Lift);
    steps.setKind(1, 128, PanelRight, NoteKind::Fake);
    steps.setKind(120, 0, PanelLeft, NoteKind::Arrow);
    const ChartSlot beginner = SongModel::slotOf(Single, Beginner);
    m.swapSteps(beginner, steps);
    m.setChartFlags(beginner, Value::number(1), Value::number(1));
    Chart edit;
    edit.style = Double;
    edit.level = Edit;
    edit.description = QStringLiteral("My edit");
    edit.dataexists = Value::number(1);
    edit.footlevels = Value::number(9);
    m.addChart(std::move(edit));

    const QByteArray sm = encodeSmFile(m);
    EXPECT_TRUE(
        sm.contains("#NOTES:\r\n     dance-single:\r\n     :\r\n     Beginner:\r\n     1:\r\n"
                    "     0,0,0,0,0:\r\nM000\r\n0400\r\n0000\r\n0000\r\n0300\r\n0000\r\n"
                    "00L0\r\n0000\r\n000F\r\n0000\r\n0000\r\n0000\r\n,\r\n"))
        << sm.toStdString();
    // Bar 120 and the one after it end the chart.
    EXPECT_TRUE(
        sm.contains(",\r\n1000\r\n0000\r\n0000\r\n0000\r\n,\r\n0000\r\n0000\r\n0000\r\n0000\r\n;"));
    EXPECT_EQ(sm.count("\r\n,\r\n"), 120 + 1); // 121 bars and the Edit chart's two
    EXPECT_TRUE(
        sm.contains("#NOTES:\r\n     dance-double:\r\n     My edit:\r\n     Edit:\r\n     9:\r\n"));
}

// A .sm file has one timing. Charts that all carry the same timing of their
// own get it written; charts that differ get the song's, and the list of
// what cannot be carried names them.
TEST(SmWriter, ChartTimingSharedByEveryChartIsWritten) {
    SongModel m;
    m.resetparameters();
    auto own = std::make_shared<TimingData>();
    own->offsetMs = 25;
    own->bpm = 180;
    own->bpms.push_back({kFineRowsPerBeat * 4, 90});
    for (int l : {Basic, Another}) {
        m.setDataexists(Single, l, Value::number(1));
        m.setChartTiming(SongModel::slotOf(Single, l), own);
    }
    QByteArray sm = encodeSmFile(m);
    EXPECT_TRUE(sm.contains("#OFFSET:-0.025;\r\n#BPMS:0.000=180.000,4.000=90.000;\r\n"))
        << sm.data();
    EXPECT_EQ(smCannotCarry(m), QStringList{"the song's own timing (every chart has the same "
                                            "timing of its own, which is written instead)"});

    auto other = std::make_shared<TimingData>(*own);
    other->bpm = 200;
    m.setChartTiming(SongModel::slotOf(Single, Another), other);
    sm = encodeSmFile(m);
    EXPECT_TRUE(sm.contains("#OFFSET:0.000;\r\n#BPMS:0.000=120.000;\r\n")) << sm.data();
    EXPECT_EQ(smCannotCarry(m),
              (QStringList{"Single Basic: its own timing (it plays to the song's)",
                           "Single Another: its own timing (it plays to the song's)"}));
}

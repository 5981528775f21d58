#include "core/formats/builtinformats.h"
#include "core/formats/fileformat.h"
#include "core/song/songmodel.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <vector>

using namespace kolvo;

namespace {

// A song with a little of everything a format carries.
void fillSmallSong(SongModel& m) {
    m.setField(SummaryField::SongName, QStringLiteral("Small"));
    m.setField(SummaryField::Artist, QStringLiteral("Someone"));
    m.setField(SummaryField::Bpm, QStringLiteral("150"));
    m.setField(SummaryField::Gap, QStringLiteral("250"));
    m.setField(SummaryField::FileTag, QStringLiteral("small.mp3"));
    m.setDataexists(Single, Basic, Value::number(1));
    m.setFootlevels(Single, Basic, Value::number(3));
    m.setStep(Single, Basic, 1, 1, PanelLeft, StepArrow);
    m.setStep(Single, Basic, 1, 9, PanelDown, StepFreezeStart);
    m.setStep(Single, Basic, 2, 1, PanelDown, StepArrow);
    m.setTempo(Single, Basic, 2, 1, BPMCHANNEL, 75);
    m.setTempo(Single, Basic, 3, 3, FREEZECHANNEL, 500);
}

// Charts of every style with random arrows and freezes on the panels each
// style uses (the DWI export leaves other panels out), tempo events on beats.
void fillRandomSong(SongModel& m, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    m.setField(SummaryField::SongName, QStringLiteral("Random %1").arg(seed));
    m.setField(SummaryField::Bpm, QString::number(60 + pick(200)));
    m.setField(SummaryField::Gap, QString::number(pick(3000)));
    m.setField(SummaryField::FileTag, QStringLiteral("r.ogg"));
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            if (pick(3) == 0)
                continue;
            m.setDataexists(s, l, Value::number(1));
            m.setFootlevels(s, l, Value::number(1 + pick(10)));
            const int bars = 1 + pick(20);
            static const std::vector<int> single = {1, 3, 4, 6}, solo = {1, 2, 3, 4, 5, 6},
                                          pads = {1, 3, 4, 6, 7, 8, 9, 10};
            const std::vector<int>& panels = s == Single ? single : s == Solo ? solo : pads;
            for (int i = 0; i < 60; ++i)
                m.setStep(s, l, 1 + pick(bars), 1 + pick(kRows),
                          panels[std::size_t(pick(int(panels.size())))], std::uint8_t(1 + pick(2)));
        }
    for (int i = 0; i < 4; ++i) {
        m.setTempo(1, 1, 1 + pick(20), 1 + pick(4), BPMCHANNEL, 60 + pick(200));
        m.setTempo(1, 1, 1 + pick(20), 1 + pick(4), FREEZECHANNEL, 1 + pick(2000));
    }
}

struct SongCase {
    const char* name;
    void (*fill)(SongModel&);
    bool hasCharts; // a step file without a chart is refused on reading
};

const SongCase kSongs[] = {
    {"reset", [](SongModel&) {}, false},
    {"small", fillSmallSong, true},
    {"random1", [](SongModel& m) { fillRandomSong(m, 1); }, true},
    {"random2", [](SongModel& m) { fillRandomSong(m, 2); }, true},
};

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Every format that writes gives the same bytes in memory and on disk; every
// format that also reads takes its own bytes back to the same song.
TEST(FileFormats, EveryEntryRoundTripsItsOwnBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const FileFormat* format : fileFormats()) {
        if (!format->canWrite())
            continue;
        for (const SongCase& c : kSongs) {
            SCOPED_TRACE(format->shortName().toStdString() + " / " + c.name);
            SongModel song;
            song.resetparameters();
            c.fill(song);
            ASSERT_FALSE(format->unwritableValue(song));
            const QByteArray bytes = format->write(song);
            ASSERT_FALSE(bytes.isEmpty());

            const QString path =
                dir.filePath(QStringLiteral("%1.%2").arg(c.name, format->extensions().first()));
            ASSERT_FALSE(writeSongFile(*format, path, song));
            EXPECT_EQ(fileBytes(path), bytes);

            if (!format->canRead())
                continue;
            if (!c.hasCharts && format != &kolvoFormat()) {
                ReadResult refused = format->read(bytes, path);
                EXPECT_FALSE(refused.ok());
                EXPECT_TRUE(refused.error);
                continue;
            }
            ReadResult back = format->read(bytes, path);
            ASSERT_TRUE(back.ok()) << (back.error ? back.error->message().toStdString() : "");
            EXPECT_TRUE(back.losses.isEmpty());
            ReadResult fromDisk = readSongFile(path);
            ASSERT_TRUE(fromDisk.ok());
            // The .sm holds what the simulators read from the DWI export, not
            // the song's own freeze marks, so only the work file and the DWI
            // export come back byte for byte.
            if (format == &smFormat())
                continue;
            EXPECT_EQ(format->write(*back.song), bytes);
            EXPECT_EQ(format->write(*fromDisk.song), bytes);
        }
    }
}

TEST(FileFormats, PickedByContentThenByExtension) {
    struct Case {
        const char* path;
        QByteArray head;
        const char* reading; // nullptr: none
        const char* writing;
    };
    const Case cases[] = {
        {"song.kolvo", "\"KOLVO-DEF\"\r\n", "kolvo", "kolvo"},
        {"song.KOLVO", "", "kolvo", "kolvo"},
        {"renamed.txt", "\"KOLVO-DEF\"\r\n", "kolvo", nullptr},
        {"song.dwi", "#TITLE:x;", "dwi", "dwi"},
        {"notes.txt", "just some text", nullptr, nullptr},
        {"song", "", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const FileFormat* r = formatForReading(QString::fromLatin1(c.path), c.head);
        const FileFormat* w = formatForWriting(QString::fromLatin1(c.path));
        EXPECT_EQ(r ? r->shortName().toStdString() : std::string(), c.reading ? c.reading : "");
        EXPECT_EQ(w ? w->shortName().toStdString() : std::string(), c.writing ? c.writing : "");
    }
    EXPECT_EQ(formatNamed(QStringLiteral("DWI")), &dwiFormat());
    EXPECT_EQ(formatNamed(QStringLiteral("none")), nullptr);
}

// A refused file never yields a song, and a pipe is refused before any read
// could block on it.
TEST(FileFormats, RefusedFilesGiveAnErrorAndNoSong) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("pipe.kolvo"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString broken = dir.filePath(QStringLiteral("broken.kolvo"));
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\"KOLVO-DEF\"\r\n\"unclosed");
    }
    const QString unknown = dir.filePath(QStringLiteral("notes.txt"));
    {
        QFile f(unknown);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("hello");
    }
    for (const QString& path :
         {fifo, broken, unknown, dir.filePath(QStringLiteral("gone.kolvo"))}) {
        SCOPED_TRACE(path.toStdString());
        ReadResult r = readSongFile(path);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.song, nullptr);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->file, path);
        EXPECT_FALSE(r.error->reason.isEmpty());
    }
}

// Each export lists, before writing, what the song holds that its format
// has no place for; the whole song's lines first, then each chart's.
TEST(FileFormats, EachExportListsWhatItCannotCarry) {
    SongModel m;
    m.resetparameters();
    TimingData extras;
    extras.warps.push_back({96, 2});
    extras.kept.append({QByteArray("SPEEDS"), QByteArray("0=1=0=0")});
    m.setSongTimingExtras(extras);
    ChartSteps steps;
    steps.setKind(1, 0, PanelLeft, NoteKind::Mine);
    steps.setKind(1, 0, PanelDown, NoteKind::RollStart);
    steps.setKind(2, 0, PanelDown, NoteKind::Arrow);
    m.swapChartSteps(Single, Basic, steps);
    m.setDataexists(Single, Basic, Value::number(1));
    m.setFootlevels(Single, Basic, Value::number(3));
    m.setChartTiming(SongModel::slotOf(Single, Basic), std::make_shared<TimingData>());
    Chart edit;
    edit.style = Double;
    edit.level = Edit;
    edit.description = QStringLiteral("Mine");
    edit.dataexists = Value::number(1);
    edit.footlevels = Value::number(7);
    m.addChart(std::move(edit));

    const struct {
        const char* format;
        QStringList lines;
    } cases[] = {
        {"dwi",
         {"the song's warps (1)", "the song's timing segments #SPEEDS",
          "Single Basic: its own timing (it plays to the song's)",
          "Single Basic: 1 mine, 1 roll (written as a freeze)",
          "Double Edit (Mine): the whole chart (Edit charts have no place)"}},
        {"sm",
         {"the song's warps (1)", "the song's timing segments #SPEEDS",
          "Single Basic: its own timing (it plays to the song's)"}},
        {"ssc", {}},
        {"kolvo", {}},
    };
    for (const auto& c : cases) {
        const FileFormat* f = formatNamed(QString::fromLatin1(c.format));
        ASSERT_NE(f, nullptr) << c.format;
        EXPECT_EQ(f->cannotCarry(m), c.lines) << c.format;
    }
    EXPECT_EQ(cannotCarryWarning(*formatNamed("sm"), m),
              "A .sm file cannot carry everything this song holds; these will be missing from "
              "it:\n  the song's warps (1)\n  the song's timing segments #SPEEDS\n  Single Basic: "
              "its own timing (it plays to the song's)");
}

// kolvo-cli: the song files without the desktop program.
#include "analysis/tempoanalysis.h"
#include "cli/packs.h"
#include "core/app/version.h"
#include "core/dwi/dwiencoder.h"
#include "core/dwi/dwiwriter.h"
#include "core/edit/chartstats.h"
#include "core/files/filenumber.h"
#include "core/files/kolvofile.h"
#include "core/formats/builtinformats.h"
#include "core/formats/fileformat.h"
#include "core/import/stepimport.h"
#include "core/song/songmodel.h"
#include "core/song/stylepanels.h"
#include "core/timing/tempomap.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cstdio>

using namespace kolvo;

namespace {

constexpr int kOk = 0;
constexpr int kFileFailed = 1;
constexpr int kUsageError = 2;

const char kUsage[] =
    "Usage: kolvo-cli COMMAND [FILES...]\n"
    "\n"
    "Commands:\n"
    "  export SONG.kolvo OUT.dwi     read a work file and write it as a DWI file\n"
    "  export SONG.kolvo OUT.sm      the same as a StepMania file (chosen by the .sm ending)\n"
    "  export SONG.kolvo OUT.ssc     the same as a StepMania 5 file, which carries every chart\n"
    "                                and timing; what a format cannot carry is listed on\n"
    "                                standard error and the file is written without it\n"
    "  resave SONG.kolvo OUT.kolvo   read a work file and write it again (keyed layout)\n"
    "  info SONG.kolvo               show the header, the tempo events and the charts\n"
    "  import STEPS OUT.kolvo [--strict]\n"
    "                                read a .dwi, .sm or .ssc file (format by content, else by\n"
    "                                extension) and write it as a work file; what the song\n"
    "                                cannot hold is listed on standard error, one per line;\n"
    "                                with --strict, anything lost fails with nothing written\n"
    "  analyze MUSIC [--candidates] [--map]\n"
    "                                find the BPM and the gap (ms) of a music file;\n"
    "                                prints 'bpm: NUMBER' and 'gap: MS'; the other tempos\n"
    "                                the music could be charted in go to standard error;\n"
    "                                with --candidates, every tempo is listed after the two\n"
    "                                lines as 'candidate: BPM GAP CONFIDENCE%', best first;\n"
    "                                with --map, the tempo map follows: 'map-gap: MS' (the\n"
    "                                time of beat 0), then 'tempo: BEAT BPM' for each tempo\n"
    "                                from the beat on and 'stop: BEAT MS' for each stop\n";
const char kUsageEnd[] =
    "  --help                        show this help\n"
    "  --version                     show the version\n"
    "\n"
    "Exit status: 0 success, 1 a file could not be read or written (or held no beat),\n"
    "2 usage error, 130 stopped by Ctrl+C (check, convert).\n";

// Standard output or error as UTF-8. Plain stdio: a text stream and an
// application object take longer to set up than checking a large song.
class Printer {
  public:
    explicit Printer(std::FILE* file) : m_file(file) {}
    Printer& operator<<(const QString& text) {
        const QByteArray bytes = text.toUtf8();
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), m_file);
        return *this;
    }
    Printer& operator<<(const char* text) {
        std::fputs(text, m_file);
        return *this;
    }
    Printer& operator<<(int number) {
        std::fprintf(m_file, "%d", number);
        return *this;
    }
    void flush() { std::fflush(m_file); }

  private:
    std::FILE* m_file;
};

Printer& out() {
    static Printer p(stdout);
    return p;
}
Printer& err() {
    static Printer p(stderr);
    return p;
}

int usageError(const QString& why) {
    err() << "kolvo-cli: " << why << "\n"
          << "Try 'kolvo-cli --help'.\n";
    err().flush();
    return kUsageError;
}

int report(const FileError& e) {
    err() << e.message() << "\n";
    err().flush();
    return kFileFailed;
}

// Reads a song the way File > Open does: the work file's reader, whatever
// the file's name.
std::optional<FileError> openSong(const QString& path, std::unique_ptr<SongModel>& model) {
    ReadResult r = readSongFile(path, kolvoFormat());
    if (!r.ok())
        return r.error;
    model = std::move(r.song);
    return std::nullopt;
}

// Reads a work file and writes it in the given format.
int convert(const QString& in, const QString& outPath, const FileFormat& format) {
    std::unique_ptr<SongModel> song;
    if (auto e = openSong(in, song))
        return report(*e);
    const SongModel& model = *song;
    // Values the format's readers would misread are still written as typed.
    if (auto warning = format.misreadWarning(model)) {
        err() << "kolvo-cli: warning: " << *warning << "\n";
        err().flush();
    }
    // What the format cannot carry is named, and the file written without it.
    if (auto warning = cannotCarryWarning(format, model)) {
        err() << "kolvo-cli: warning: " << *warning << "\n";
        err().flush();
    }
    if (auto e = writeSongFile(format, outPath, model))
        return report(*e);
    return kOk;
}

// The export format an output path names; a name with no export extension
// of its own gets the DWI export, as it always did.
const FileFormat& exportFormatFor(const QString& outPath) {
    const FileFormat* f = formatForWriting(outPath);
    if (f && f->canExport())
        return *f;
    return dwiFormat();
}

QString shownValue(const Value& v) {
    if (v.isUnassigned())
        return QStringLiteral("(unassigned)");
    if (v.isText())
        return u'"' + v.asText() + u'"';
    return fileNumberText(v.asNumber());
}

int info(const QString& in) {
    std::unique_ptr<SongModel> song;
    if (auto e = openSong(in, song))
        return report(*e);
    const SongModel& model = *song;
    Printer& o = out();
    for (int i = 0; i < kSummaryTextFields; ++i)
        o << summaryFieldKey(SummaryField(i)) << ": " << model.field(SummaryField(i)) << "\n";
    static const char* const marks[] = {"Never", "Always", "Normal"};
    o << "check1: " << model.markAsNew() << " ("
      << (model.markAsNew() >= 0 && model.markAsNew() <= 2 ? marks[model.markAsNew()] : "?")
      << ")\n";

    int events = 0;
    for (const TempoCell& c : model.songTempoCells()) {
        if (!SongModel::tempoEvent(c.value))
            continue;
        ++events;
        const double beat = 1.0 + double(fineRowOfTick(c.tick)) / kFineRowsPerBeat;
        o << (c.channel == BPMCHANNEL ? "bpm change" : "freeze") << ": bar " << barOfTick(c.tick)
          << " beat " << fileNumberText(beat) << " = " << fileNumberText(c.value)
          << (c.channel == BPMCHANNEL ? "" : " ms") << "\n";
    }
    if (events == 0)
        o << "tempo events: none\n";

    int charts = 0;
    for (ChartSlot slot = 0; slot < model.chartSlots(); ++slot) {
        if (!model.usedSlot(slot))
            continue;
        const Chart& c = model.chart(slot);
        const Value& flag = c.dataexists;
        if (flag.isUnassigned() || flag.toNumber() != 1.0)
            continue;
        ++charts;
        std::array<int, kNoteKinds> kinds{};
        for (const Note& n : c.steps.notes())
            if (!c.dance() || styleUsesPanel(c.style, n.panel))
                ++kinds[std::size_t(n.kind)];
        const int arrows = kinds[1] + kinds[2];
        o << c.name() << ": foot level " << shownValue(c.footlevels) << ", " << arrows
          << " arrows, " << kinds[2] << " freeze arrows";
        static const char* const more[] = {"", "", "", "rolls", "mines", "lifts", "fakes"};
        for (int k = 3; k < kNoteKinds; ++k)
            if (kinds[std::size_t(k)] > 0)
                o << ", " << kinds[std::size_t(k)] << " " << more[k];
        o << ", last bar "
          << (c.dance() && c.level >= Basic && c.level <= SManiac
                  ? std::max(FindLastBar(model, c.style, c.level), c.steps.lastBar())
                  : c.steps.lastBar())
          << "\n";
        const ChartStats s = chartStats(c, TempoMap(model.timingOf(slot)));
        o << "  " << s.steps << " steps (" << s.taps << " taps), " << s.jumps << " jumps, "
          << s.hands << " hands, " << s.freezes << " freezes, " << s.rolls << " rolls, " << s.mines
          << " mines, " << s.lifts << " lifts, " << s.fakes << " fakes; peak "
          << QString::number(s.peakDensity, 'f', 2) << " steps/s at bar " << s.peakBar
          << "; stream: " << s.breakdown << "\n";
    }
    if (charts == 0)
        o << "charts: none\n";
    o.flush();
    return kOk;
}

int importSong(const QString& in, const QString& outPath, bool strict) {
    // Every format that imports, picked by content, else by extension.
    const ReadResult r = readSongFile(in, ReadFor::Import);
    if (!r.ok())
        return report(*r.error);
    for (const QString& line : importLossLines(r.losses))
        err() << line << "\n";
    err().flush();
    if (strict && !r.losses.isEmpty()) {
        err() << "kolvo-cli: " << in << ": " << r.losses.size()
              << (r.losses.size() == 1 ? " thing" : " things")
              << " the song cannot hold; nothing written (--strict)\n";
        err().flush();
        return kFileFailed;
    }
    if (auto e = writeSongFile(kolvoFormat(), outPath, *r.song))
        return report(*e);
    return kOk;
}

QString candidateText(const analysis::TempoCandidate& c) {
    return QString::fromStdString(analysis::bpmText(c.bpm)) + u' ' +
           QString::number(analysis::gapWholeMs(c.gapMs)) + u' ' +
           QString::number(qRound(100 * c.confidence)) + u'%';
}

int analyze(const QString& music, bool candidates, bool map) {
    const analysis::TempoResult r = analysis::analyseFile(music.toStdString());
    if (!r.hasFigures()) {
        out().flush();
        err() << music << ": " << QString::fromStdString(r.message) << "\n";
        err().flush();
        return kFileFailed;
    }
    out() << "bpm: " << QString::fromStdString(analysis::bpmText(r.bpm)) << "\n"
          << "gap: " << analysis::gapWholeMs(r.gapMs) << "\n";
    if (candidates)
        for (const analysis::TempoCandidate& c : r.candidates)
            out() << "candidate: " << candidateText(c) << "\n";
    if (map) {
        out() << "map-gap: " << analysis::gapWholeMs(r.tempoMap.gapMs) << "\n";
        for (const analysis::BpmChange& c : r.tempoMap.changes)
            out() << "tempo: " << QString::number(c.beat) << " "
                  << QString::fromStdString(analysis::bpmText(c.bpm)) << "\n";
        for (const analysis::TempoStop& s : r.tempoMap.stops)
            out() << "stop: " << QString::number(s.beat) << " "
                  << analysis::gapWholeMs(s.seconds * 1000) << "\n";
    }
    out().flush();
    if (!candidates)
        for (std::size_t i = 1; i < r.candidates.size(); ++i)
            err() << music << ": also possible: " << candidateText(r.candidates[i]) << "\n";
    if (r.octaveBalanced && r.candidates.size() > 1)
        err() << music << ": the music gives about as much reason for "
              << QString::fromStdString(analysis::bpmText(r.candidates[1].bpm)) << " as for "
              << QString::fromStdString(analysis::bpmText(r.bpm)) << " BPM\n";
    if (r.tempoMap.changesTempo() && !map)
        err() << music << ": the tempo changes: the figures fit only part of the music ("
              << int(r.tempoMap.changes.size()) << " tempos, " << int(r.tempoMap.stops.size())
              << " stops; --map lists them)\n";
    else if (r.tempoChanges && !map)
        err() << music << ": the tempo changes: the figures fit only part of the music\n";
    else if (r.outcome == analysis::Outcome::Guess)
        err() << music << ": no steady beat: the figures are a guess\n";
    err().flush();
    return kOk;
}

} // namespace

int main(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString cmd = args.takeFirst();
    if (cmd == u"--help" || cmd == u"-h" || cmd == u"help") {
        out() << kUsage << cli::kPackUsage << kUsageEnd;
        out().flush();
        return kOk;
    }
    if (cmd == u"--version") {
        out() << "kolvo-cli " << KOLVO_VERSION << "\n";
        out().flush();
        return kOk;
    }
    // Files and folders, with options of their own.
    if (cmd == u"check")
        return cli::checkCommand(args);
    if (cmd == u"convert")
        return cli::convertCommand(args);
    bool strict = false;
    if (cmd == u"import" && args.removeAll(QStringLiteral("--strict")) > 0)
        strict = true;
    bool candidates = false;
    if (cmd == u"analyze" && args.removeAll(QStringLiteral("--candidates")) > 0)
        candidates = true;
    bool map = false;
    if (cmd == u"analyze" && args.removeAll(QStringLiteral("--map")) > 0)
        map = true;
    for (const QString& a : args)
        if (a.startsWith(u"--"))
            return usageError(QStringLiteral("unknown option '%1'").arg(a));
    if (cmd == u"import") {
        if (args.size() != 2)
            return usageError(QStringLiteral("'import' needs a step file and an output file"));
        return importSong(args[0], args[1], strict);
    }
    if (cmd == u"export" || cmd == u"resave") {
        if (args.size() != 2)
            return usageError(QStringLiteral("'%1' needs an input and an output file").arg(cmd));
        return convert(args[0], args[1],
                       cmd == u"export" ? exportFormatFor(args[1]) : kolvoFormat());
    }
    if (cmd == u"info") {
        if (args.size() != 1)
            return usageError(QStringLiteral("'info' needs one file"));
        return info(args[0]);
    }
    if (cmd == u"analyze") {
        if (args.size() != 1)
            return usageError(QStringLiteral("'analyze' needs one music file"));
        return analyze(args[0], candidates, map);
    }
    return usageError(QStringLiteral("unknown command '%1'").arg(cmd));
}

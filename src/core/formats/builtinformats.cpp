#include "core/formats/builtinformats.h"

#include "core/dwi/dwiwriter.h"
#include "core/files/kolvofile.h"
#include "core/formats/fileformat.h"
#include "core/formats/tagtext.h"
#include "core/import/stepimport.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"
#include "core/ssc/sscwriter.h"

namespace kolvo {

namespace {

// The program's own work file: read and written, known by its magic first field.
class KolvoFormat final : public FileFormat {
  public:
    QString shortName() const override { return QStringLiteral("kolvo"); }
    QStringList extensions() const override { return {QStringLiteral("kolvo")}; }
    int capabilities() const override { return CanRead | CanWrite | IsWorkFile; }
    QString displayName() const override { return QStringLiteral("Kolvo"); }
    QString readFilter() const override {
        return QStringLiteral("Kolvo Work In Progress File (*.kolvo)|*.kolvo");
    }
    QString writeFilter() const override {
        return QStringLiteral("Kolvo Work In Progress (*.kolvo)|*.kolvo");
    }
    bool recognisesContent(const QByteArray& head) const override {
        // The keyed layout's first field; the legacy layout has no mark.
        return head.left(64).contains("KOLVO-DEF");
    }
    ReadResult read(const QByteArray& bytes, const QString& name) const override {
        ReadResult r;
        auto song = std::make_unique<SongModel>();
        song->resetparameters();
        r.error = readKolvoData(bytes, name, *song);
        if (!r.error)
            r.song = std::move(song);
        return r;
    }
    ReadResult readFile(const QString& path) const override {
        // The work-file reader checks the text a piece at a time as it reads.
        ReadResult r;
        auto song = std::make_unique<SongModel>();
        song->resetparameters();
        r.error = readKolvoFile(path, *song);
        if (!r.error)
            r.song = std::move(song);
        return r;
    }
    std::optional<QString> unwritableValue(const SongModel& song) const override {
        return unwritableKolvoField(song);
    }
    QByteArray write(const SongModel& song,
                     const std::function<void(int)>& progress) const override {
        return kolvoFileText(song, progress);
    }
};

// The simulators' step files, read through the importers: what a song
// cannot hold is listed, one line per loss.
class StepFileFormat : public FileFormat {
  public:
    // `extension` without the dot, also the short name; `readFilter` as
    // the import dialog lists the format.
    StepFileFormat(StepFormat format, const char* extension, const char* readFilter)
        : m_format(format), m_extension(QString::fromLatin1(extension)),
          m_readFilter(QString::fromLatin1(readFilter)) {}
    QString shortName() const override { return m_extension; }
    QStringList extensions() const override { return {m_extension}; }
    QString readFilter() const override { return m_readFilter; }
    bool recognisesContent(const QByteArray& head) const override {
        // With no name to fall back on, only the content decides.
        return detectStepFormat(head, QString()) == m_format;
    }
    ReadResult read(const QByteArray& bytes, const QString& name) const override {
        ImportResult imported = importStepFile(bytes, name, m_format);
        ReadResult r;
        r.song = std::move(imported.song);
        r.error = imported.error;
        r.losses = std::move(imported.losses);
        return r;
    }

  private:
    StepFormat m_format;
    QString m_extension, m_readFilter;
};

// The export for the simulators, read back through the importer (the
// simulator test's own variants of it stay with the simulator test).
class DwiFormat final : public StepFileFormat {
  public:
    DwiFormat() : StepFileFormat(StepFormat::Dwi, "dwi", "Dance With Intensity (*.dwi)|*.dwi") {}
    int capabilities() const override { return CanRead | CanWrite; }
    QString displayName() const override { return QStringLiteral("DWI"); }
    std::optional<ExportCommand> exportCommand() const override {
        return ExportCommand{QStringLiteral("&Export to DWI..."), QStringLiteral("dwimenu"),
                             QStringLiteral("Ctrl+D")};
    }
    QString writeFilter() const override {
        return QStringLiteral("Dance With Intensity Datafile (*.dwi)|*.dwi");
    }
    std::optional<QString> misreadWarning(const SongModel& song) const override {
        const QList<TagTextProblem> problems = dwiTagTextProblems(song);
        if (problems.isEmpty())
            return std::nullopt;
        return tagTextWarning(problems, QStringLiteral("DWI"));
    }
    QStringList cannotCarry(const SongModel& song) const override { return dwiCannotCarry(song); }
    QByteArray write(const SongModel& song, const std::function<void(int)>&) const override {
        return dwiFileText(song, DwiMode::Export);
    }
};

// StepMania's .sm format.
class SmFormat final : public StepFileFormat {
  public:
    SmFormat() : StepFileFormat(StepFormat::Sm, "sm", "StepMania (*.sm)|*.sm") {}
    int capabilities() const override { return CanRead | CanWrite; }
    QString displayName() const override { return QStringLiteral("StepMania"); }
    std::optional<ExportCommand> exportCommand() const override {
        // Ctrl+E would be a text field's end of line; M for StepMania.
        return ExportCommand{QStringLiteral("Export to Step&Mania..."), QStringLiteral("smmenu"),
                             QStringLiteral("Ctrl+M")};
    }
    QString writeFilter() const override {
        return QStringLiteral("StepMania Step File (*.sm)|*.sm");
    }
    std::optional<QString> misreadWarning(const SongModel& song) const override {
        const QList<TagTextProblem> problems = smTagTextProblems(song);
        if (problems.isEmpty())
            return std::nullopt;
        return tagTextWarning(problems, QStringLiteral("StepMania"));
    }
    QStringList cannotCarry(const SongModel& song) const override { return smCannotCarry(song); }
    QByteArray write(const SongModel& song, const std::function<void(int)>&) const override {
        return encodeSmFile(song);
    }
};

} // namespace

const FileFormat& kolvoFormat() {
    static const KolvoFormat f;
    return f;
}

const FileFormat& dwiFormat() {
    static const DwiFormat f;
    return f;
}

const FileFormat& smFormat() {
    static const SmFormat f;
    return f;
}

const FileFormat& sscFormat() {
    // StepMania 5's format: it carries the whole song.
    class SscFormat final : public StepFileFormat {
      public:
        SscFormat() : StepFileFormat(StepFormat::Ssc, "ssc", "StepMania 5 (*.ssc)|*.ssc") {}
        int capabilities() const override { return CanRead | CanWrite; }
        QString displayName() const override { return QStringLiteral("StepMania 5"); }
        std::optional<ExportCommand> exportCommand() const override {
            return ExportCommand{QStringLiteral("Export to StepMania &5 (.ssc)..."),
                                 QStringLiteral("sscmenu"), QString()};
        }
        QString writeFilter() const override {
            return QStringLiteral("StepMania 5 Step File (*.ssc)|*.ssc");
        }
        std::optional<QString> misreadWarning(const SongModel& song) const override {
            const QList<TagTextProblem> problems = smTagTextProblems(song);
            if (problems.isEmpty())
                return std::nullopt;
            return tagTextWarning(problems, QStringLiteral("StepMania"));
        }
        QStringList cannotCarry(const SongModel& song) const override {
            return sscCannotCarry(song);
        }
        QByteArray write(const SongModel& song, const std::function<void(int)>&) const override {
            return encodeSscFile(song);
        }
    };
    static const SscFormat f;
    return f;
}

std::vector<const FileFormat*> builtinFormats() {
    return {&kolvoFormat(), &dwiFormat(), &smFormat(), &sscFormat()};
}

} // namespace kolvo

#include "core/formats/builtinformats.h"

#include "core/dwi/dwiwriter.h"
#include "core/files/kolvofile.h"
#include "core/formats/fileformat.h"
#include "core/sm/smtagcheck.h"
#include "core/sm/smwriter.h"
#include "core/song/songmodel.h"

namespace kolvo {

namespace {

// The program's own work file: read and written, known by its magic first field.
class KolvoFormat final : public FileFormat {
  public:
    QString shortName() const override { return QStringLiteral("kolvo"); }
    QStringList extensions() const override { return {QStringLiteral("kolvo")}; }
    int capabilities() const override { return CanRead | CanWrite; }
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
    std::optional<QString> unwritableValue(const SongModel& song) const override {
        return unwritableKolvoField(song);
    }
    QByteArray write(const SongModel& song,
                     const std::function<void(int)>& progress) const override {
        return kolvoFileText(song, progress);
    }
};

// The export for the simulators: written only (the simulator test's own
// variants of it stay with the simulator test).
class DwiFormat final : public FileFormat {
  public:
    QString shortName() const override { return QStringLiteral("dwi"); }
    QStringList extensions() const override { return {QStringLiteral("dwi")}; }
    int capabilities() const override { return CanWrite; }
    QString writeFilter() const override {
        return QStringLiteral("Dance With Intensity Datafile (*.dwi)|*.dwi");
    }
    QByteArray write(const SongModel& song, const std::function<void(int)>&) const override {
        return dwiFileText(song, DwiMode::Export);
    }
};

// The simulators' own format, written so it plays as the DWI export does.
class SmFormat final : public FileFormat {
  public:
    QString shortName() const override { return QStringLiteral("sm"); }
    QStringList extensions() const override { return {QStringLiteral("sm")}; }
    int capabilities() const override { return CanWrite; }
    QString writeFilter() const override {
        return QStringLiteral("StepMania Step File (*.sm)|*.sm");
    }
    std::optional<QString> misreadWarning(const SongModel& song) const override {
        const std::vector<TagSplitFinding> splits = findTagSplits(song, smTagSplitters());
        if (splits.empty())
            return std::nullopt;
        return smTagSplitWarning(splits);
    }
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

std::vector<const FileFormat*> builtinFormats() {
    return {&kolvoFormat(), &dwiFormat(), &smFormat()};
}

} // namespace kolvo

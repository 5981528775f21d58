#include "core/formats/fileformat.h"

#include "core/files/atomicwrite.h"
#include "core/files/regularfile.h"
#include "core/formats/builtinformats.h"
#include "core/song/songmodel.h"

#include <QFile>
#include <QFileInfo>

namespace kolvo {

FileFormat::~FileFormat() = default;

bool FileFormat::recognisesContent(const QByteArray&) const {
    return false;
}

ReadResult FileFormat::read(const QByteArray&, const QString& name) const {
    ReadResult r;
    r.error =
        FileError{name, 0, QStringLiteral("this program cannot read %1 files").arg(shortName())};
    return r;
}

std::optional<QString> FileFormat::unwritableValue(const SongModel&) const {
    return std::nullopt;
}

std::optional<QString> FileFormat::misreadWarning(const SongModel&) const {
    return std::nullopt;
}

QStringList FileFormat::cannotCarry(const SongModel&) const {
    return {};
}

std::optional<QString> cannotCarryWarning(const FileFormat& format, const SongModel& song) {
    const QStringList lines = format.cannotCarry(song);
    if (lines.isEmpty())
        return std::nullopt;
    QString text = QStringLiteral("A .%1 file cannot carry everything this song holds; these "
                                  "will be missing from it:")
                       .arg(format.extensions().value(0, format.shortName()));
    for (const QString& l : lines)
        text += QStringLiteral("\n  ") + l;
    return text;
}

QByteArray FileFormat::write(const SongModel&, const std::function<void(int)>&) const {
    return QByteArray();
}

bool FileFormat::hasExtension(const QString& path) const {
    const QString suffix = QFileInfo(path).suffix();
    for (const QString& e : extensions())
        if (suffix.compare(e, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

const std::vector<const FileFormat*>& fileFormats() {
    static const std::vector<const FileFormat*> formats = builtinFormats();
    return formats;
}

const FileFormat* formatNamed(const QString& shortName) {
    for (const FileFormat* f : fileFormats())
        if (f->shortName().compare(shortName, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

const FileFormat* formatForReading(const QString& path, const QByteArray& head) {
    const FileFormat* byContent = nullptr;
    int recognised = 0;
    for (const FileFormat* f : fileFormats())
        if (f->canRead() && f->recognisesContent(head)) {
            byContent = f;
            ++recognised;
        }
    if (recognised == 1)
        return byContent;
    for (const FileFormat* f : fileFormats())
        if (f->canRead() && f->hasExtension(path))
            return f;
    return nullptr;
}

const FileFormat* formatForWriting(const QString& path) {
    for (const FileFormat* f : fileFormats())
        if (f->canWrite() && f->hasExtension(path))
            return f;
    return nullptr;
}

std::optional<FileError> readWholeFile(const QString& path, qint64 limit, QByteArray& bytes) {
    if (auto why = notARegularFile(path))
        return FileError{path, 0, *why};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileError{path, 0, QStringLiteral("cannot be opened: %1").arg(file.errorString())};
    if (file.size() > limit)
        return FileError{path, 0, QStringLiteral("the file is too large to be a step file")};
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return FileError{path, 0, QStringLiteral("cannot be read: %1").arg(file.errorString())};
    return std::nullopt;
}

ReadResult readSongFile(const QString& path) {
    ReadResult r;
    QByteArray bytes;
    // The largest work file is about 8 MB; nothing the program reads comes near this.
    constexpr qint64 kLimit = 256LL * 1024 * 1024;
    if (auto e = readWholeFile(path, kLimit, bytes)) {
        r.error = e;
        return r;
    }
    const FileFormat* f = formatForReading(path, bytes.left(4096));
    if (!f) {
        r.error = FileError{path, 0, QStringLiteral("is not a file this program can read")};
        return r;
    }
    return f->read(bytes, path);
}

std::optional<FileError> writeSongFile(const FileFormat& format, const QString& path,
                                       const SongModel& song,
                                       const std::function<void(int)>& progress) {
    if (auto problem = format.unwritableValue(song))
        return FileError{path, 0, *problem};
    if (auto why = writeFileAtomically(path, format.write(song, progress)))
        return FileError{path, 0, *why};
    return std::nullopt;
}

} // namespace kolvo

// Only regular files are read: a named pipe, a folder or a device is refused
// at once with what it is, instead of waiting for bytes that never come.
#include "core/files/kolvofile.h"
#include "core/files/regularfile.h"
#include "core/song/songmodel.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace kolvo;

TEST(RegularFile, ReaderRefusesWhatIsNotAFile) {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("song.kolvo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath("folder.kolvo");
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString linkToFifo = dir.filePath("link.kolvo");
    ASSERT_TRUE(QFile::link(fifo, linkToFifo));
    struct Case {
        QString path;
        const char* reason;
    } cases[] = {
        {fifo, "is a named pipe, not a regular file; only regular files can be opened"},
        {linkToFifo, "is a named pipe, not a regular file; only regular files can be opened"},
        {folder, "is a folder, not a regular file; only regular files can be opened"},
        {"/dev/null", "is a device, not a regular file; only regular files can be opened"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(notARegularFile(c.path), QString::fromLatin1(c.reason));
        SongModel m;
        m.resetparameters();
        m.setField(SummaryField::SongName, "Kept");
        const std::optional<FileError> err = readKolvoFile(c.path, m);
        ASSERT_TRUE(err.has_value());
        EXPECT_EQ(err->file, c.path);
        EXPECT_EQ(err->line, 0);
        EXPECT_EQ(err->reason, QString::fromLatin1(c.reason));
    }
    // A missing file is left to the open, which says it is missing.
    EXPECT_FALSE(notARegularFile(dir.filePath("missing.kolvo")).has_value());
    const QString file = dir.filePath("real.kolvo");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(notARegularFile(file).has_value());
}

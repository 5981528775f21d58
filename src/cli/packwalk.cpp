#include "cli/packwalk.h"

#include "core/formats/fileformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace kolvo::cli {

namespace {

using FileId = std::pair<dev_t, ino_t>;

// The readable format a name ends in, or nullptr.
const FileFormat* formatByName(const QString& path) {
    for (const FileFormat* f : fileFormats())
        if (f->canRead() && f->hasExtension(path))
            return f;
    return nullptr;
}

class Walker {
  public:
    explicit Walker(const WalkOptions& options) : m_options(options) {}

    void addPath(const QString& path) {
        struct stat st {};
        const QByteArray native = QFile::encodeName(path);
        // A path named on the command line is followed even when it is a link.
        if (::stat(native.constData(), &st) == 0 && S_ISDIR(st.st_mode)) {
            m_walk.walkedAFolder = true;
            QString name =
                QFileInfo(QDir::cleanPath(QFileInfo(path).absoluteFilePath())).fileName();
            walkFolder(path, name, st);
            return;
        }
        // Missing, unreadable or not a folder: the reader says what is wrong.
        if (::stat(native.constData(), &st) == 0 &&
            !m_seenFiles.insert({st.st_dev, st.st_ino}).second)
            return;
        PackEntry e;
        e.path = path;
        e.format = formatByName(path);
        m_walk.entries.push_back(std::move(e));
    }

    Walk take() { return std::move(m_walk); }

  private:
    struct Item {
        QByteArray name;
        struct stat st;
    };

    void walkFolder(const QString& path, const QString& treeFolder, const struct stat& self) {
        if (!m_seenFolders.insert({self.st_dev, self.st_ino}).second)
            return;
        std::vector<Item> files, folders;
        DIR* dir = ::opendir(QFile::encodeName(path).constData());
        if (!dir) {
            unlisted(path, errno);
            return;
        }
        const int fd = ::dirfd(dir);
        errno = 0;
        while (const dirent* d = ::readdir(dir)) {
            if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0)
                continue;
            Item item{QByteArray(d->d_name), {}};
            // Never follows a link: a link is neither a file nor a folder here.
            if (::fstatat(fd, d->d_name, &item.st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // gone since it was listed
            if (S_ISDIR(item.st.st_mode))
                folders.push_back(std::move(item));
            else if (!S_ISLNK(item.st.st_mode))
                files.push_back(std::move(item));
            errno = 0;
        }
        const int listError = errno;
        ::closedir(dir);
        if (listError != 0) {
            unlisted(path, listError);
            return;
        }
        auto byName = [](const Item& a, const Item& b) { return a.name < b.name; };
        std::sort(files.begin(), files.end(), byName);
        std::sort(folders.begin(), folders.end(), byName);

        const QString prefix = path.endsWith(u'/') ? path : path + u'/';
        std::vector<PackEntry> songs;
        for (const Item& item : files) {
            PackEntry e;
            e.path = prefix + QFile::decodeName(item.name);
            e.format = formatByName(e.path);
            // Only the song files; music, pictures and the rest are not ours.
            if (!e.format || !m_seenFiles.insert({item.st.st_dev, item.st.st_ino}).second)
                continue;
            e.treeFolder = treeFolder;
            songs.push_back(std::move(e));
        }
        choosePreferred(songs);
        for (PackEntry& e : songs)
            m_walk.entries.push_back(std::move(e));
        for (const Item& item : folders) {
            const QString name = QFile::decodeName(item.name);
            walkFolder(prefix + name, treeFolder + u'/' + name, item.st);
        }
    }

    // The simulators read one format of a song folder: the first present
    // in the preference order; the rest of the folder's song files are
    // listed as skipped.
    void choosePreferred(std::vector<PackEntry>& songs) const {
        if (m_options.preference.isEmpty() || songs.empty())
            return;
        auto rank = [this](const PackEntry& e) {
            const auto i = m_options.preference.indexOf(e.format->shortName());
            return i < 0 ? m_options.preference.size() : i;
        };
        qsizetype best = m_options.preference.size() + 1;
        const FileFormat* chosen = nullptr;
        for (const PackEntry& e : songs)
            if (rank(e) < best) {
                best = rank(e);
                chosen = e.format;
            }
        for (PackEntry& e : songs)
            if (e.format != chosen) {
                e.kind = PackEntry::Skipped;
                e.note = QStringLiteral("the folder's .%1 file is read instead")
                             .arg(chosen->extensions().value(0));
            }
    }

    void unlisted(const QString& path, int error) {
        PackEntry e;
        e.kind = PackEntry::Unlisted;
        e.path = path;
        e.note = QStringLiteral("the folder cannot be read: %1")
                     .arg(QString::fromLocal8Bit(std::strerror(error)));
        m_walk.entries.push_back(std::move(e));
    }

    const WalkOptions& m_options;
    Walk m_walk;
    std::set<FileId> m_seenFolders, m_seenFiles;
};

} // namespace

Walk walkPaths(const QStringList& paths, const WalkOptions& options) {
    Walker w(options);
    for (const QString& p : paths)
        w.addPath(p);
    return w.take();
}

} // namespace kolvo::cli

#pragma once

#include <QString>

#include <optional>

namespace kolvo {

// Why `path` cannot be read as a song file, or nothing when it names a
// regular file (a link to one counts). Every reader asks first: opening a
// named pipe or a device waits for a writer that may never come, and a folder
// has no bytes to read.
std::optional<QString> notARegularFile(const QString& path);

// The largest file any reader of songs takes (work files and step files
// alike): far beyond any real song (the largest work file is about 8 MB),
// small enough to refuse a wrong file quickly.
constexpr qint64 kMaxSongFileSize = 64LL * 1024 * 1024;

} // namespace kolvo

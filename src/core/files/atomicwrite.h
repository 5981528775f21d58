#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace kolvo {

// Writes the bytes to a temporary file beside `path` and renames it into
// place only when every byte reached the disk; otherwise any existing file
// is left untouched. Returns the reason on failure ("cannot be written: ...").
// `beforeCommit` runs once the bytes are in the temporary file.
std::optional<QString> writeFileAtomically(const QString& path, const QByteArray& data,
                                           const std::function<void()>& beforeCommit = {});

} // namespace kolvo

#pragma once

#include <QString>

namespace kolvo {

// MD5 digest of a file as 32 lower-case hexadecimal characters, read in
// chunks, or "Not found." when the path names no readable regular file (an
// empty path, a folder, a device or pipe that could block, a file we may not
// read).
QString DigestFile(const QString& path);

} // namespace kolvo

#pragma once

#include <QString>

#include <cstddef>

namespace kolvo {

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool isValidUtf8(const char* data, std::size_t size);

// The end of the last whole UTF-8 sequence in bytes read so far: a sequence
// cut off by their end is left for the bytes still to come. Checking each
// piece up to here gives the same answer as checking the whole.
std::size_t utf8WholeSequencesEnd(const char* data, std::size_t size);

// Text of Windows-1252 bytes (files made on Windows). The five bytes the
// code page leaves undefined map to the C1 controls of the same number.
QString fromWindows1252(const char* data, std::size_t size);

} // namespace kolvo

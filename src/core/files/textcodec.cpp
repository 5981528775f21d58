#include "core/files/textcodec.h"

#include <cstdint>
#include <cstring>

namespace kolvo {

bool isValidUtf8(const char* data, std::size_t size) {
    const auto* p = reinterpret_cast<const unsigned char*>(data);
    const unsigned char* end = p + size;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (p < end) {
        // Plain ASCII runs dominate work files: test 32 bytes at a time,
        // then eight.
        while (end - p >= 32) {
            std::uint64_t w[4];
            std::memcpy(w, p, 32);
            if (((w[0] | w[1] | w[2] | w[3]) & kHighBits) != 0)
                break;
            p += 32;
        }
        if (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & kHighBits) == 0) {
                p += 8;
                continue;
            }
        }
        if (p >= end)
            break;
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += extra + 1;
    }
    return true;
}

std::size_t utf8WholeSequencesEnd(const char* data, std::size_t size) {
    const auto* d = reinterpret_cast<const unsigned char*>(data);
    for (std::size_t back = 1; back <= 3 && back <= size; ++back) {
        const unsigned char c = d[size - back];
        if ((c & 0xC0) == 0x80)
            continue; // inside a sequence
        if (c < 0x80)
            return size;
        const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        return length > back ? size - back : size;
    }
    return size;
}

QString fromWindows1252(const char* data, std::size_t size) {
    // 0x80..0x9F differ from Latin-1; everything else maps to itself.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    QString out(static_cast<qsizetype>(size), Qt::Uninitialized);
    QChar* o = out.data();
    for (std::size_t i = 0; i < size; ++i) {
        auto c = static_cast<unsigned char>(data[i]);
        o[i] = (c >= 0x80 && c <= 0x9F) ? QChar(high[c - 0x80]) : QChar(c);
    }
    return out;
}

} // namespace kolvo

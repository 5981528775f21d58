#include "core/files/filenumber.h"

#include "core/song/numbertext.h"

#include <charconv>
#include <cmath>

namespace kolvo {

QString fileNumberText(double value) {
    QString t = canonicalNumberText(value);
    if (t.startsWith(u'.'))
        t.prepend(u'0');
    else if (t.startsWith(u"-."))
        t.insert(1, u'0');
    return t;
}

void appendFileNumber(QByteArray& out, double value) {
    out.append(fileNumberText(value).toLatin1());
}

std::optional<double> fileFieldNumber(const char* b, const char* e) {
    while (e > b && (e[-1] == ' ' || e[-1] == '\t'))
        --e;
    const char* p = b;
    if (p < e && *p == '+')
        ++p; // from_chars takes no plus sign
    const char* start = p;
    if (p < e && *p == '-')
        ++p;
    int digits = 0;
    while (p < e && *p >= '0' && *p <= '9')
        ++p, ++digits;
    if (p < e && *p == '.') {
        ++p;
        while (p < e && *p >= '0' && *p <= '9')
            ++p, ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    if (p < e && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < e && (*p == '+' || *p == '-'))
            ++p;
        int expDigits = 0;
        while (p < e && *p >= '0' && *p <= '9')
            ++p, ++expDigits;
        if (expDigits == 0)
            return std::nullopt;
    }
    if (p != e || (b < e && *b == '+' && start < e && *start == '-'))
        return std::nullopt;
    double v = 0.0;
    auto res = std::from_chars(start, e, v);
    if (res.ec != std::errc() || res.ptr != e || !std::isfinite(v))
        return std::nullopt;
    return v == 0.0 ? 0.0 : v;
}

} // namespace kolvo

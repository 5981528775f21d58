#include "core/song/numbertext.h"

#include <charconv>
#include <cmath>
#include <string>

namespace kolvo {

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

double radixValue(const std::string& s, std::size_t pos, int radix) {
    double v = 0.0;
    for (; pos < s.size(); ++pos) {
        char c = s[pos];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (radix == 16 && c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else if (radix == 16 && c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else
            break;
        if (d >= radix)
            break;
        v = v * radix + d;
    }
    return std::isfinite(v) ? v : 0.0;
}

} // namespace

double numericValue(const QString& text) {
    // Keep only characters that matter; anything outside ASCII ends the number.
    std::string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) {
        if (isBlank(c))
            continue;
        s.push_back(c.unicode() < 128 ? static_cast<char>(c.unicode()) : '\x7f');
    }

    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h')
            return radixValue(s, 2, 16);
        if (s[1] == 'O' || s[1] == 'o')
            return radixValue(s, 2, 8);
        return 0.0;
    }

    // Find the longest prefix of the form [+-]digits[.digits][(E|D)[+-]digits].
    std::string num;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            num.push_back('-');
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        num.push_back(s[i++]);
        ++mantissaDigits;
    }
    if (i < s.size() && s[i] == '.') {
        num.push_back('.');
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            num.push_back(s[i++]);
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return 0.0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        std::size_t j = i + 1;
        std::string exp = "e";
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            exp.push_back(s[j++]);
        std::size_t expDigits = 0;
        while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            exp.push_back(s[j++]);
            ++expDigits;
        }
        if (expDigits > 0)
            num += exp;
    }
    double value = 0.0;
    auto res = std::from_chars(num.data(), num.data() + num.size(), value);
    if (res.ec != std::errc() || !std::isfinite(value))
        return 0.0;
    return value == 0.0 ? 0.0 : value; // no negative zero
}

QString canonicalNumberText(double value) {
    if (!std::isfinite(value) || value == 0.0)
        return QStringLiteral("0");
    // Shortest round-trip digits in plain notation; a double never needs more
    // than a few hundred characters this way.
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    std::string s(buf, res.ptr);
    // Drop the 0 before the point of a value below 1.
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0)
        s.erase(1, 1);
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

bool isWellFormedNumber(const QString& text) {
    return text == canonicalNumberText(numericValue(text));
}

bool isWellFormedWholeNumber(const QString& text) {
    return text == canonicalNumberText(std::trunc(numericValue(text)));
}

QString normalizedNumberText(const QString& text) {
    return canonicalNumberText(numericValue(text));
}

} // namespace kolvo

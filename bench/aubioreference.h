#pragma once

// What the analysis benches compare against: aubio's own command-line tempo
// finder on the same file, and the median of a set of errors.

#include <QProcess>
#include <QRegularExpression>
#include <QString>

#include <algorithm>
#include <vector>

namespace kolvo::bench {

// `aubio tempo FILE`'s BPM; 0 when it gave none within the time.
inline double aubioTempo(const QString& path, int timeoutMs) {
    QProcess p;
    p.start(QStringLiteral("aubio"), {QStringLiteral("tempo"), path});
    if (!p.waitForFinished(timeoutMs))
        return 0;
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral("([0-9.]+) bpm")).match(out);
    return m.hasMatch() ? m.captured(1).toDouble() : 0;
}

inline double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace kolvo::bench

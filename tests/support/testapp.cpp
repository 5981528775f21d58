#include "testapp.h"

#include "wavfile.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <cmath>

namespace kolvo::test {

QString writeScratchFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

QString argRecorderPath() {
    return QStringLiteral(KOLVO_ARGRECORDER_PATH);
}

bool installArgRecorder(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    return QFile::copy(argRecorderPath(), path) &&
           QFile::setPermissions(path, QFile::permissions(argRecorderPath()));
}

void setArgRecorderOutput(const QString& outputFile) {
    qputenv("KOLVO_ARGRECORDER_OUT", outputFile.toLocal8Bit());
}

QList<ArgRecord> readArgRecords(const QString& outputFile) {
    QList<ArgRecord> records;
    QFile f(outputFile);
    if (!f.open(QIODevice::ReadOnly))
        return records;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty())
            continue; // the empty tail, or a line still being written
        ArgRecord r;
        for (const QJsonValue& v : o.value(QStringLiteral("args")).toArray())
            r.args << v.toString();
        r.cwd = o.value(QStringLiteral("cwd")).toString();
        records << r;
    }
    return records;
}

std::optional<ArgRecord> waitForArgRecord(const QString& outputFile, int count, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        const QList<ArgRecord> records = readArgRecords(outputFile);
        if (records.size() >= count)
            return records.last();
        if (deadline.hasExpired())
            return std::nullopt;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(10);
    }
}

bool writeTestWav(const QString& path, int durationMs, int sampleRate) {
    // A quiet 440 Hz tone.
    const std::size_t frames = std::size_t(qint64(sampleRate) * durationMs / 1000);
    std::vector<float> samples(frames);
    for (std::size_t i = 0; i < frames; ++i)
        samples[i] =
            float(6000.0 / 32767.0 * std::sin(2.0 * M_PI * 440.0 * double(i) / sampleRate));
    return !writeScratchFile(path, wavFileBytes(samples, sampleRate)).isEmpty();
}

} // namespace kolvo::test

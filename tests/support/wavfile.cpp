#include "wavfile.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace kolvo::test {

QByteArray wavFileBytes(const std::vector<float>& samples, int sampleRate, int channels) {
    QByteArray data(qsizetype(samples.size() * 2), Qt::Uninitialized);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const float v = std::clamp(samples[i], -1.0f, 1.0f);
        qToLittleEndian<qint16>(qint16(std::lround(v * 32767.0f)), data.data() + i * 2);
    }
    QByteArray wav;
    auto u32 = [&wav](quint32 v) {
        char b[4];
        qToLittleEndian<quint32>(v, b);
        wav.append(b, 4);
    };
    auto u16 = [&wav](quint16 v) {
        char b[2];
        qToLittleEndian<quint16>(v, b);
        wav.append(b, 2);
    };
    wav += "RIFF";
    u32(quint32(36 + data.size()));
    wav += "WAVEfmt ";
    u32(16);
    u16(1); // PCM
    u16(quint16(channels));
    u32(quint32(sampleRate));
    u32(quint32(sampleRate * channels * 2));
    u16(quint16(channels * 2)); // bytes per frame
    u16(16);                    // bits per sample
    wav += "data";
    u32(quint32(data.size()));
    wav += data;
    return wav;
}

} // namespace kolvo::test

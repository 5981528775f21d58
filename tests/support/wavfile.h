#pragma once

#include <QByteArray>

#include <vector>

namespace kolvo::test {

// 16-bit PCM samples (each clipped to -1..1 before it is scaled; channels
// interleaved) as the bytes of a WAV file.
QByteArray wavFileBytes(const std::vector<float>& samples, int sampleRate, int channels = 1);

} // namespace kolvo::test

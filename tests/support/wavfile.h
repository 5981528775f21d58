#pragma once

#include <QByteArray>

#include <vector>

namespace kolvo::test {

// Mono 16-bit PCM samples (each clipped to -1..1 before it is scaled) as the
// bytes of a WAV file.
QByteArray wavFileBytes(const std::vector<float>& samples, int sampleRate);

} // namespace kolvo::test

#include "testmusic.h"

#include "wavfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <random>

namespace kolvo::test {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Adds `sound(t)` (t in seconds since the sound starts) from `start` for
// `length` seconds; the sound starts between samples exactly where it falls.
template <class F>
void addSound(std::vector<float>& out, int rate, double start, double length, F sound) {
    if (start < 0)
        return;
    const auto first = std::size_t(std::ceil(start * rate));
    const auto last = std::min(out.size(), std::size_t(std::ceil((start + length) * rate)));
    for (std::size_t i = first; i < last; ++i)
        out[i] += float(sound(double(i) / rate - start));
}

void renderClickTrack(const MusicRecipe& s, std::vector<float>& out) {
    const double beat = 60.0 / s.bpm;
    for (int k = 0;; ++k) {
        const double t = s.gapMs / 1000.0 + k * beat;
        if (t >= s.seconds)
            break;
        const bool downbeat = k % 4 == 0;
        const double f = downbeat ? 1500 : 1000;
        const double a = downbeat ? 0.8 : 0.6;
        addSound(out, s.sampleRate, t, 0.03,
                 [=](double x) { return a * std::sin(kTwoPi * f * x) * std::exp(-x / 0.006); });
    }
}

void renderSong(const MusicRecipe& s, std::vector<float>& out) {
    std::mt19937 rng(s.seed);
    std::uniform_real_distribution<double> uni(-1.0, 1.0);
    std::uniform_real_distribution<double> velocity(0.9, 1.1);
    const int rate = s.sampleRate;
    const double beat = 60.0 / s.bpm;
    const double gap = s.gapMs / 1000.0;

    // A soft pad under the intro, fading out over the first bar of the song.
    if (s.intro == Intro::Quiet && gap > 0) {
        const double end = gap + 4 * beat;
        addSound(out, rate, 0, end, [=](double x) {
            const double fade = std::min({1.0, x / 0.8, (end - x) / (4 * beat)});
            return 0.03 * fade *
                   (std::sin(kTwoPi * 220 * x) + std::sin(kTwoPi * 277.2 * x) +
                    std::sin(kTwoPi * 329.6 * x));
        });
    }

    const double roots[] = {55.0, 55.0, 65.41, 49.0, 55.0, 73.42, 65.41, 61.74};
    for (int k = 0;; ++k) {
        const double t = gap + k * beat;
        if (t >= s.seconds)
            break;
        const int bar = k / 4;
        const int inBar = k % 4;
        const bool breakdown = bar % 16 == 9 || bar % 16 == 10; // drums rest for two bars
        if (!breakdown && inBar % 2 == 0) {
            const double a = 0.7 * velocity(rng);
            addSound(out, rate, t, 0.35, [=](double x) {
                const double phase = kTwoPi * (45 * x + 110 * 0.025 * (1 - std::exp(-x / 0.025)));
                return a * std::min(1.0, x / 0.001) * std::exp(-x / 0.12) * std::sin(phase);
            });
        }
        if (!breakdown && inBar % 2 == 1) {
            const double a = velocity(rng);
            std::vector<double> noise(std::size_t(0.25 * rate) + 2);
            for (double& n : noise)
                n = uni(rng);
            addSound(out, rate, t, 0.25, [=, &noise](double x) {
                const double n = noise[std::min(noise.size() - 1, std::size_t(x * rate))];
                return a * std::min(1.0, x / 0.0005) *
                       (0.4 * n * std::exp(-x / 0.06) +
                        0.3 * std::sin(kTwoPi * 185 * x) * std::exp(-x / 0.05));
            });
        }
        // Hi-hats on every eighth, the off-beat ones a little softer.
        for (int half = 0; half < 2; ++half) {
            const double a = (half == 0 ? 0.14 : 0.1) * velocity(rng);
            std::vector<double> noise(std::size_t(0.06 * rate) + 2);
            for (double& n : noise)
                n = uni(rng);
            addSound(out, rate, t + half * beat / 2, 0.06, [=, &noise](double x) {
                const std::size_t i = std::min(noise.size() - 1, std::size_t(x * rate));
                const double hp = noise[i + (i + 1 < noise.size() ? 1 : 0)] - noise[i];
                return a * hp * std::exp(-x / 0.015);
            });
        }
        // Bass on eighths, a root per bar, an octave up on the off-beat.
        for (int half = 0; half < 2; ++half) {
            const double f = roots[bar % 8] * (half == 1 ? 2 : 1);
            const double len = beat / 2 * 0.85;
            const double a = 0.16 * velocity(rng);
            addSound(out, rate, t + half * beat / 2, len, [=](double x) {
                const double env = std::min(1.0, x / 0.008) * (1 - 0.3 * std::min(1.0, x / 0.1)) *
                                   std::min(1.0, (len - x) / 0.01);
                double v = 0;
                for (int h = 1; h <= 4; ++h)
                    v += std::sin(kTwoPi * f * h * x) / h;
                return a * env * v;
            });
        }
    }
    // A faint noise floor over everything.
    for (float& v : out)
        v += float(0.004 * uni(rng));
}

} // namespace

std::vector<float> renderMusic(const MusicRecipe& recipe) {
    std::vector<float> out(std::size_t(recipe.seconds * recipe.sampleRate), 0.0f);
    if (recipe.kind == MusicKind::ClickTrack)
        renderClickTrack(recipe, out);
    else
        renderSong(recipe, out);
    for (float& v : out)
        v = std::clamp(v, -1.0f, 1.0f);
    return out;
}

bool writeWav(const QString& path, const std::vector<float>& samples, int sampleRate) {
    const QByteArray wav = wavFileBytes(samples, sampleRate);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(wav) == wav.size();
}

const char* extension(Encoding e) {
    switch (e) {
    case Encoding::Wav:
        return "wav";
    case Encoding::Mp3:
        return "mp3";
    case Encoding::Ogg:
        return "ogg";
    }
    return "";
}

bool writeMusic(const QString& path, const MusicRecipe& recipe, Encoding encoding) {
    const std::vector<float> samples = renderMusic(recipe);
    if (encoding == Encoding::Wav)
        return writeWav(path, samples, recipe.sampleRate);
    const QString wav = path + QStringLiteral(".source.wav");
    if (!writeWav(wav, samples, recipe.sampleRate))
        return false;
    QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                     QStringLiteral("error"),    QStringLiteral("-y"),
                     QStringLiteral("-i"),       wav};
    if (encoding == Encoding::Mp3)
        args << QStringLiteral("-codec:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a")
             << QStringLiteral("192k");
    else
        args << QStringLiteral("-codec:a") << QStringLiteral("libvorbis") << QStringLiteral("-q:a")
             << QStringLiteral("5");
    args << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    const bool ok = ffmpeg.waitForFinished(120000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
                    ffmpeg.exitCode() == 0;
    QFile::remove(wav);
    return ok;
}

} // namespace kolvo::test

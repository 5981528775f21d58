#include "evalmusic.h"

#include "wavfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace kolvo::test {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Two channels being mixed; a sound is placed with a pan from -1 (left) to 1.
struct Mix {
    std::vector<float> left, right;
    int rate;
    Mix(double seconds, int sampleRate)
        : left(std::size_t(seconds * sampleRate)), right(left.size()), rate(sampleRate) {}

    template <class F> void add(double start, double length, double pan, F sound) {
        if (start < 0)
            return;
        const double l = std::sqrt((1 - pan) / 2) * std::sqrt(2.0);
        const double r = std::sqrt((1 + pan) / 2) * std::sqrt(2.0);
        const auto first = std::size_t(std::ceil(start * rate));
        const auto last = std::min(left.size(), std::size_t(std::ceil((start + length) * rate)));
        for (std::size_t i = first; i < last; ++i) {
            const double v = sound(double(i) / rate - start);
            left[i] += float(l * v);
            right[i] += float(r * v);
        }
    }
};

struct Noise {
    std::vector<double> values;
    Noise(std::mt19937& rng, double seconds, int rate) : values(std::size_t(seconds * rate) + 2) {
        std::uniform_real_distribution<double> uni(-1.0, 1.0);
        for (double& v : values)
            v = uni(rng);
    }
    double at(double x, int rate) const {
        return values[std::min(values.size() - 1, std::size_t(std::max(0.0, x) * rate))];
    }
    // A crude high-pass: the difference of neighbouring values.
    double bright(double x, int rate) const {
        const std::size_t i = std::min(values.size() - 2, std::size_t(std::max(0.0, x) * rate));
        return (values[i + 1] - values[i]) / 2;
    }
};

double semitone(double root, int steps) {
    return root * std::pow(2.0, steps / 12.0);
}

class Band {
  public:
    Band(const EvalCase& c, Mix& mix) : m_c(c), m_mix(mix), m_rng(c.seed) {}

    double vel() { return std::uniform_real_distribution<double>(0.92, 1.08)(m_rng); }

    void kick(double t, double a) {
        add(t, 0.35, 0, [a](double x) {
            const double phase = kTwoPi * (45 * x + 110 * 0.025 * (1 - std::exp(-x / 0.025)));
            return a * std::min(1.0, x / 0.001) * std::exp(-x / 0.12) * std::sin(phase);
        });
    }
    void snare(double t, double a) {
        auto noise = std::make_shared<Noise>(m_rng, 0.25, m_mix.rate);
        const int rate = m_mix.rate;
        add(t, 0.25, 0.1, [=](double x) {
            return a * std::min(1.0, x / 0.0005) *
                   (0.5 * noise->at(x, rate) * std::exp(-x / 0.06) +
                    0.35 * std::sin(kTwoPi * 185 * x) * std::exp(-x / 0.05));
        });
    }
    void hat(double t, double a, double decay) {
        auto noise = std::make_shared<Noise>(m_rng, 6 * decay, m_mix.rate);
        const int rate = m_mix.rate;
        add(t, 6 * decay, 0.4, [=](double x) {
            return a * std::min(1.0, x / 0.0003) * noise->bright(x, rate) * std::exp(-x / decay);
        });
    }
    void ride(double t, double a) {
        auto noise = std::make_shared<Noise>(m_rng, 0.6, m_mix.rate);
        const int rate = m_mix.rate;
        add(t, 0.6, -0.4, [=](double x) {
            const double ping = std::sin(kTwoPi * 3150 * x) + 0.6 * std::sin(kTwoPi * 4730 * x);
            return a * std::min(1.0, x / 0.0005) * (0.6 * noise->bright(x, rate) + 0.25 * ping) *
                   std::exp(-x / 0.15);
        });
    }
    // A bass note of `length` seconds: plucked decays, held ones sustain.
    void bass(double t, double f, double length, double a, bool plucked) {
        add(t, length, -0.1, [=](double x) {
            const double env = std::min(1.0, x / 0.004) * std::min(1.0, (length - x) / 0.01) *
                               (plucked ? std::exp(-x / 0.25) : 1 - 0.3 * std::min(1.0, x / 0.1));
            double v = 0;
            for (int h = 1; h <= 5; ++h)
                v += std::sin(kTwoPi * f * h * x) / h;
            return a * env * v;
        });
    }
    void click(double t, double f, double a) {
        const double length = m_c.clickMs / 1000;
        const Timbre timbre = m_c.timbre;
        auto noise = std::make_shared<Noise>(m_rng, length, m_mix.rate);
        const int rate = m_mix.rate;
        add(t, length, 0, [=](double x) {
            // Full level at once, falling to a quarter by the click's end,
            // with a short fade so the end is not a click of its own.
            const double env =
                std::exp(-1.4 * x / length) * std::min(1.0, (length - x) / std::min(0.002, length));
            switch (timbre) {
            case Timbre::Sine:
                return a * env * std::sin(kTwoPi * f * x + 0.3);
            case Timbre::Square:
                return a * env * 0.7 * (std::sin(kTwoPi * f * x + 0.3) >= 0 ? 1.0 : -1.0);
            case Timbre::Noise:
                return a * env * noise->at(x, rate);
            case Timbre::Wood:
                return a * env *
                       (std::sin(kTwoPi * f * 0.8 * x) * std::exp(-x / 0.004) +
                        0.5 * std::sin(kTwoPi * f * 2.3 * x) * std::exp(-x / 0.002));
            }
            return 0.0;
        });
    }
    // A synth note that starts within a few milliseconds and fades slowly.
    void lead(double t, double f, double length, double a) {
        add(t, length + 0.03, 0.2, [=](double x) {
            const double env = std::min(1.0, x / 0.006) * std::exp(-x / 0.5) *
                               std::clamp((length + 0.03 - x) / 0.03, 0.0, 1.0);
            double v = 0;
            for (int h = 1; h <= 6; ++h)
                v += std::sin(kTwoPi * f * h * x + h) / (h * h);
            return a * env * v;
        });
    }
    void pad(double start, double length, double root, double a) {
        add(start, length, -0.2, [=](double x) {
            const double env = std::min({1.0, x / 1.5, (length - x) / 1.0});
            return a * std::max(0.0, env) *
                   (std::sin(kTwoPi * root * x) + std::sin(kTwoPi * semitone(root, 4) * x) +
                    std::sin(kTwoPi * semitone(root, 7) * x) +
                    0.3 * std::sin(kTwoPi * 2 * root * x + 0.5)) /
                   3.3;
        });
    }
    void noiseFloor(double from, double to, double a) {
        std::uniform_real_distribution<double> uni(-1.0, 1.0);
        const auto first = std::size_t(from * m_mix.rate);
        const auto last = std::min(m_mix.left.size(), std::size_t(to * m_mix.rate));
        for (std::size_t i = first; i < last; ++i) {
            m_mix.left[i] += float(a * uni(m_rng));
            m_mix.right[i] += float(a * uni(m_rng));
        }
    }

    void play() {
        const double gap = m_c.gapMs / 1000;
        const double roots[] = {55.0, 55.0, 65.41, 49.0, 55.0, 73.42, 65.41, 61.74};
        const int walk[] = {0, 4, 7, 9, 12, 9, 7, 4};
        std::uniform_real_distribution<double> unit(0, 1);
        double beat = 60.0 / m_c.bpm;
        double t = gap;
        for (int k = 0;; t += beat + m_shift, ++k) {
            m_shift = 0;
            for (const MadeTempoChange& change : m_c.tempoChanges)
                if (change.beat == k) {
                    if (change.bpm > 0)
                        beat = 60.0 / change.bpm;
                    m_shift = change.stopSeconds;
                }
            m_beatStart = t;
            if (t >= m_c.seconds)
                break;
            const int bar = k / 4, inBar = k % 4;
            const double root = roots[bar % 8];
            const bool one = inBar == 0;
            switch (m_c.style) {
            case Style::Click: {
                const bool accent = m_c.accents && one;
                click(t, accent ? 1500 : 1000, accent ? 1.0 : 0.65);
                break;
            }
            case Style::FourFloor:
                kick(t, 0.8 * vel());
                if (inBar % 2 == 1)
                    snare(t, 0.55 * vel());
                hat(t, 0.06 * vel(), 0.012);
                hat(t + beat / 2, 0.16 * vel(), 0.06);
                bass(t + beat / 2, root, beat / 2 * 0.8, 0.18 * vel(), false);
                break;
            case Style::Rock:
                if (inBar % 2 == 0)
                    kick(t, 0.75 * vel());
                if (inBar == 2 && bar % 2 == 1)
                    kick(t + beat / 2, 0.5 * vel());
                if (inBar % 2 == 1)
                    snare(t, 0.8 * vel());
                for (int h = 0; h < 2; ++h) {
                    hat(t + h * beat / 2, (h == 0 ? 0.14 : 0.1) * vel(), 0.015);
                    bass(t + h * beat / 2, root * (h == 1 ? 2 : 1), beat / 2 * 0.85, 0.16 * vel(),
                         false);
                }
                break;
            case Style::Syncopated: {
                // Sixteenths: kick on 1, the "a" of 2 and the "and" of 3.
                const int step0 = inBar * 4;
                for (int s = 0; s < 4; ++s) {
                    const int step = step0 + s;
                    const double ts = t + s * beat / 4;
                    if (step == 0 || step == 7 || step == 10) {
                        kick(ts, 0.75 * vel());
                        bass(ts, root, beat * 0.7, 0.2 * vel(), true);
                    }
                    if (step == 4 || step == 12)
                        snare(ts, 0.8 * vel());
                    if (step == 15)
                        snare(ts, 0.15 * vel());
                    hat(ts, (s == 0 ? 0.12 : s == 2 ? 0.08 : 0.05) * vel(), 0.012);
                }
                break;
            }
            case Style::Swing:
                ride(t, 0.22 * vel());
                if (inBar % 2 == 1) {
                    ride(t + 2 * beat / 3, 0.14 * vel());
                    snare(t, 0.35 * vel());
                    hat(t, 0.08 * vel(), 0.02);
                }
                kick(t, 0.18 * vel());
                bass(t, semitone(root, walk[k % 8]), beat * 0.9, 0.3 * vel(), true);
                break;
            case Style::Shuffle:
                if (inBar % 2 == 0)
                    kick(t, 0.75 * vel());
                else
                    snare(t, 0.7 * vel());
                for (double third : {0.0, 2.0 / 3}) {
                    hat(t + third * beat, (third == 0 ? 0.13 : 0.09) * vel(), 0.015);
                    bass(t + third * beat, semitone(root, third == 0 ? 0 : 7),
                         beat * (third == 0 ? 0.6 : 0.3), 0.17 * vel(), true);
                }
                break;
            case Style::KickOnly:
                kick(t, 0.85 * vel());
                break;
            case Style::HatsOnly:
                hat(t, 0.3 * vel(), 0.02);
                hat(t + beat / 2, 0.14 * vel(), 0.015);
                break;
            case Style::BassLed:
                bass(t, semitone(root, walk[k % 8] % 12), beat / 2 * 0.9, 0.45 * vel(), true);
                bass(t + beat / 2, semitone(root, 12), beat / 2 * 0.8, 0.22 * vel(), true);
                hat(t, 0.04 * vel(), 0.01);
                break;
            case Style::Offbeats:
                if (inBar % 2 == 0)
                    kick(t, 0.3 * vel());
                else
                    snare(t, 0.3 * vel());
                hat(t + beat / 2, 0.6 * vel(), 0.03);
                bass(t, root, beat * 0.4, 0.05 * vel(), true);
                break;
            case Style::House:
                kick(t, 0.6 * vel());
                if (inBar % 2 == 1)
                    snare(t, 0.2 * vel());
                hat(t + beat / 2, 0.5 * vel(), 0.08);
                bass(t + beat / 2, root, beat / 2 * 0.8, 0.3 * vel(), true);
                break;
            case Style::DoubleKick: {
                const int steps = m_c.bpm > 180 ? 2 : 4;
                for (int s = 0; s < steps; ++s)
                    kick(t + s * beat / steps, 0.5 * vel());
                if (inBar % 2 == 1)
                    snare(t, 0.9 * vel());
                ride(t, 0.15 * vel());
                if (inBar % 2 == 0)
                    bass(t, root, beat * 1.8, 0.12 * vel(), false);
                break;
            }
            case Style::Breakbeat: {
                // Sixteenths: kicks on 1, the "a" of 1 and the "and" of 3,
                // ghost snares around the backbeat.
                for (int s = 0; s < 4; ++s) {
                    const int step = inBar * 4 + s;
                    const double ts = t + s * beat / 4;
                    if (step == 0 || step == 3 || step == 10) {
                        kick(ts, (step == 3 ? 0.45 : 0.75) * vel());
                        bass(ts, root, beat * 0.6, 0.15 * vel(), true);
                    }
                    if (step == 4 || step == 12)
                        snare(ts, 0.85 * vel());
                    if (step == 7 || step == 9 || step == 14)
                        snare(ts, 0.18 * vel());
                    hat(ts, (s % 2 == 0 ? 0.1 : 0.06) * vel(), 0.012);
                }
                break;
            }
            case Style::Sustained: {
                const int melody[] = {12, 16, 19, 24, 19, 16, 14, 11};
                lead(t, semitone(2 * root, melody[(k + bar) % 8]), beat, 0.35 * vel());
                if (one)
                    pad(t, 4 * beat + 0.5, 2 * root, 0.08);
                break;
            }
            }
            (void)unit;
        }
        switch (m_c.intro) {
        case IntroKind::Silence:
            break;
        case IntroKind::Noise:
            noiseFloor(0, m_c.seconds, 0.004);
            break;
        case IntroKind::Pad:
            if (gap > 0.5)
                pad(0, gap + 2 * beat, 110, 0.12);
            break;
        }
    }

  private:
    const EvalCase& m_c;
    Mix& m_mix;
    std::mt19937 m_rng;
    double m_beatStart = 0; // the beat being played
    double m_shift = 0;     // how long the music holds still after that beat's sounds

    // Sounds after the beat's own come after its stop.
    template <typename F> void add(double t, double length, double pan, F f) {
        m_mix.add(t > m_beatStart + 1e-9 ? t + m_shift : t, length, pan, std::move(f));
    }
};

std::uint32_t fnv1a(const std::string& s) {
    std::uint32_t h = 2166136261u;
    for (unsigned char ch : s) {
        h ^= ch;
        h *= 16777619u;
    }
    return h;
}

const char* timbreName(Timbre t) {
    switch (t) {
    case Timbre::Sine:
        return "sine";
    case Timbre::Square:
        return "square";
    case Timbre::Noise:
        return "noise";
    case Timbre::Wood:
        return "wood";
    }
    return "";
}

const char* introName(IntroKind i) {
    switch (i) {
    case IntroKind::Silence:
        return "silent";
    case IntroKind::Noise:
        return "noise";
    case IntroKind::Pad:
        return "pad";
    }
    return "";
}

void nameAndSplit(EvalCase& c, int index) {
    char buf[200];
    if (!c.tempoChanges.empty())
        std::snprintf(buf, sizeof buf, "map%03d-%s-%zu", index, styleName(c.style),
                      c.tempoChanges.size());
    else if (c.style == Style::Click)
        std::snprintf(buf, sizeof buf, "click%03d-%s-%gms-%s", index, timbreName(c.timbre),
                      c.clickMs, c.accents ? "acc" : "flat");
    else
        std::snprintf(buf, sizeof buf, "%s%03d", styleName(c.style), index);
    char rest[200];
    std::snprintf(rest, sizeof rest, "-%gdB-%.2fbpm-%.0fms-%s-%dHz-%s-%.0fs.%s", c.levelDb, c.bpm,
                  c.gapMs, introName(c.intro), c.sampleRate, c.channels == 2 ? "st" : "mono",
                  c.seconds, extension(c.encoding));
    c.name = std::string(buf) + rest;
    c.heldOut = (fnv1a(c.name) >> 7) & 1;
}

} // namespace

const char* styleName(Style s) {
    switch (s) {
    case Style::Click:
        return "click";
    case Style::FourFloor:
        return "fourfloor";
    case Style::Rock:
        return "rock";
    case Style::Syncopated:
        return "syncopated";
    case Style::Swing:
        return "swing";
    case Style::Shuffle:
        return "shuffle";
    case Style::KickOnly:
        return "kickonly";
    case Style::HatsOnly:
        return "hatsonly";
    case Style::BassLed:
        return "bassled";
    case Style::Sustained:
        return "sustained";
    case Style::Offbeats:
        return "offbeats";
    case Style::House:
        return "house";
    case Style::DoubleKick:
        return "doublekick";
    case Style::Breakbeat:
        return "breakbeat";
    }
    return "";
}

std::vector<EvalCase> evaluationSet() {
    std::mt19937 rng(25);
    auto uniform = [&rng](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    auto pick = [&rng](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    const int rates[] = {22050, 32000, 44100, 48000};
    // A third whole, a third in halves, a third with two decimals.
    auto tempo = [&](int i, double lo, double hi) {
        const double b = uniform(lo, hi);
        return i % 3 == 0   ? std::round(b)
               : i % 3 == 1 ? std::round(b * 2) / 2
                            : std::round(b * 100) / 100;
    };
    auto common = [&](EvalCase& c, int i) {
        c.gapMs = i % 7 == 0 ? 0 : std::round(uniform(0, 5000) * 10) / 10;
        c.intro = c.gapMs > 0 ? IntroKind(pick(3)) : IntroKind::Silence;
        c.encoding = Encoding(pick(3));
        c.sampleRate = rates[pick(4)];
        c.channels = 1 + pick(2);
        c.seconds = std::round(uniform(20, 75));
        c.seed = unsigned(1000 + i);
    };

    std::vector<EvalCase> set;
    const double clickLengths[] = {1, 3, 10, 25, 50};
    for (int i = 0; i < 100; ++i) {
        EvalCase c;
        c.style = Style::Click;
        c.timbre = Timbre(i % 4);
        c.clickMs = clickLengths[(i / 4) % 5];
        c.accents = (i / 2) % 2 == 0;
        c.levelDb = std::round(uniform(-30, 0));
        c.bpm = i == 0 ? 60 : i == 1 ? 300 : tempo(i, 60, 300);
        common(c, i);
        if (i == 5 || i == 50)
            c.seconds = 240; // two long ones
        nameAndSplit(c, i);
        set.push_back(c);
    }
    const Style styles[] = {Style::FourFloor, Style::Rock,    Style::Syncopated,
                            Style::Swing,     Style::Shuffle, Style::KickOnly,
                            Style::HatsOnly,  Style::BassLed, Style::Sustained};
    for (int i = 0; i < 162; ++i) {
        EvalCase c;
        c.style = styles[i % 9];
        c.levelDb = std::round(uniform(-24, 0));
        c.bpm = tempo(i / 9, c.style == Style::Swing ? 90 : 70,
                      c.style == Style::Sustained ? 160 : 210);
        common(c, i);
        if (i == 20 || i == 61 || i == 103)
            c.seconds = 240;
        if (i == 44)
            c.seconds = 360;
        if (i == 130)
            c.seconds = 480;
        nameAndSplit(c, i);
        set.push_back(c);
    }
    // Styles whose octave hangs on which instrument marks the beats: a kick
    // with a bass or hats between the beats, kicks faster than the beat
    // under a backbeat, a broken beat. Drawn from a sequence of their own,
    // so the cases above stay as they were.
    rng.seed(2526);
    const Style octaveStyles[] = {Style::House, Style::Offbeats, Style::DoubleKick,
                                  Style::Breakbeat};
    for (int i = 0; i < 48; ++i) {
        EvalCase c;
        c.style = octaveStyles[i % 4];
        c.levelDb = std::round(uniform(-24, 0));
        c.bpm = c.style == Style::House        ? tempo(i / 4, 110, 150)
                : c.style == Style::Breakbeat  ? tempo(i / 4, 130, 180)
                : c.style == Style::DoubleKick ? tempo(i / 4, 140, 220)
                                               : tempo(i / 4, 80, 180);
        common(c, 200 + i);
        nameAndSplit(c, 200 + i);
        set.push_back(c);
    }
    return set;
}

std::vector<float> renderCase(const EvalCase& c) {
    Mix mix(c.seconds, c.sampleRate);
    Band(c, mix).play();
    float peak = 1e-9f;
    for (std::size_t i = 0; i < mix.left.size(); ++i)
        peak = std::max({peak, std::abs(mix.left[i]), std::abs(mix.right[i])});
    const float scale = float(std::pow(10.0, c.levelDb / 20)) / peak;
    std::vector<float> out;
    out.reserve(mix.left.size() * std::size_t(c.channels));
    for (std::size_t i = 0; i < mix.left.size(); ++i) {
        if (c.channels == 2) {
            out.push_back(mix.left[i] * scale);
            out.push_back(mix.right[i] * scale);
        } else {
            out.push_back((mix.left[i] + mix.right[i]) / 2 * scale);
        }
    }
    return out;
}

bool writeCase(const QString& path, const EvalCase& c) {
    const QByteArray wav = wavFileBytes(renderCase(c), c.sampleRate, c.channels);
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QString wavPath =
        c.encoding == Encoding::Wav ? path : path + QStringLiteral(".source.wav");
    {
        QFile f(wavPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(wav) != wav.size())
            return false;
    }
    if (c.encoding == Encoding::Wav)
        return true;
    QStringList args{QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                     QStringLiteral("error"),    QStringLiteral("-y"),
                     QStringLiteral("-i"),       wavPath};
    if (c.encoding == Encoding::Mp3)
        args << QStringLiteral("-codec:a") << QStringLiteral("libmp3lame") << QStringLiteral("-b:a")
             << QStringLiteral("160k");
    else
        args << QStringLiteral("-codec:a") << QStringLiteral("libvorbis") << QStringLiteral("-q:a")
             << QStringLiteral("4");
    args << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    const bool ok = ffmpeg.waitForFinished(300000) && ffmpeg.exitStatus() == QProcess::NormalExit &&
                    ffmpeg.exitCode() == 0;
    QFile::remove(wavPath);
    return ok;
}

std::vector<EvalCase> tempoMapSet() {
    std::mt19937 rng(2520);
    auto uniform = [&rng](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(rng);
    };
    auto pick = [&rng](int n) { return int(std::uniform_int_distribution<int>(0, n - 1)(rng)); };
    const Style styles[] = {Style::Click,      Style::FourFloor, Style::Rock,
                            Style::Syncopated, Style::Swing,     Style::Shuffle,
                            Style::KickOnly,   Style::HatsOnly,  Style::BassLed};
    const int rates[] = {22050, 32000, 44100, 48000};
    auto make = [&](int i) {
        EvalCase c;
        c.style = styles[i % 9];
        c.timbre = Timbre(pick(4));
        c.clickMs = 10;
        c.levelDb = std::round(uniform(-20, 0));
        c.bpm = std::round(uniform(90, 200) * 2) / 2;
        c.gapMs = std::round(uniform(0, 3000));
        c.encoding = Encoding(pick(3));
        c.sampleRate = rates[pick(4)];
        c.channels = 1 + pick(2);
        c.seed = unsigned(5000 + i);
        // Two to four sections of 24 to 64 beats, each tempo at least 8 %
        // from the one before; a stop of a tenth of a beat to a beat and a
        // half at some section ends and inside some sections.
        const int sections = 2 + i % 3;
        double seconds = c.gapMs / 1000, bpm = c.bpm;
        int beat = 0;
        for (int s = 0; s < sections; ++s) {
            const int length = 4 * (6 + pick(11));
            if (s > 0) {
                double next = bpm;
                while (std::abs(next / bpm - 1) < 0.08)
                    next = std::round(uniform(90, 200) * 2) / 2;
                MadeTempoChange change{beat, next, 0};
                if (pick(4) == 0)
                    change.stopSeconds = std::round(uniform(0.1, 1.5) * 60 / next * 1000) / 1000;
                c.tempoChanges.push_back(change);
                bpm = next;
                seconds += change.stopSeconds;
            }
            if (pick(3) == 0) {
                const double stop = std::round(uniform(0.1, 1.5) * 60 / bpm * 1000) / 1000;
                c.tempoChanges.push_back({beat + length / 2, 0, stop});
                seconds += stop;
            }
            beat += length;
            seconds += length * 60 / bpm;
        }
        c.seconds = std::ceil(seconds + 2);
        nameAndSplit(c, i);
        return c;
    };
    std::vector<EvalCase> set;
    for (int i = 0; i < 54; ++i)
        set.push_back(make(i));
    // A second batch from a sequence of its own, so the cases above stay as
    // they were: a map set big enough that rules fitted to one half carry to
    // the other.
    rng.seed(2527);
    for (int i = 100; i < 200; ++i)
        set.push_back(make(i));
    return set;
}

} // namespace kolvo::test

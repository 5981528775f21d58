// The analysis of music made here with a known tempo and first beat: click
// tracks and small songs as WAV, MP3 and OGG, and input that holds no beat.
#include "analysis/tempoanalysis.h"
#include "evalmusic.h"
#include "testmusic.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace kolvo::analysis;
using namespace kolvo::test;

namespace {

class TempoAnalysis : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    std::string make(const char* name, const MusicRecipe& recipe, Encoding e) {
        const QString path = dir.filePath(QString::fromLatin1(name) + u'.' + extension(e));
        EXPECT_TRUE(writeMusic(path, recipe, e)) << name;
        return path.toStdString();
    }
    std::string makeRaw(const char* name, const std::vector<float>& samples) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        EXPECT_TRUE(writeWav(path, samples, 44100));
        return path.toStdString();
    }
};

TEST_F(TempoAnalysis, ClickTracksToAHundredthOfABpmAndThreeMilliseconds) {
    struct Case {
        const char* name;
        double bpm, gapMs;
        Encoding encoding;
    } cases[] = {
        {"click70", 70, 0, Encoding::Wav},           {"click137_5", 137.5, 1234.5, Encoding::Mp3},
        {"click191_33", 191.33, 350, Encoding::Ogg}, {"click240", 240, 3000, Encoding::Wav},
        {"click150", 150, 75, Encoding::Mp3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MusicRecipe recipe;
        recipe.kind = MusicKind::ClickTrack;
        recipe.bpm = c.bpm;
        recipe.gapMs = c.gapMs;
        recipe.seconds = 16;
        const TempoResult r = analyseFile(make(c.name, recipe, c.encoding));
        ASSERT_EQ(r.outcome, Outcome::Steady) << r.message;
        EXPECT_NEAR(r.bpm, c.bpm, 0.01);
        EXPECT_NEAR(r.gapMs, c.gapMs, 3);
        EXPECT_GT(r.steadyShare, 0.95);
    }
}

TEST_F(TempoAnalysis, SongsToTwoHundredthsAndTenMilliseconds) {
    struct Case {
        const char* name;
        double bpm, gapMs;
        Intro intro;
        Encoding encoding;
    } cases[] = {
        {"song128", 128, 2500, Intro::Quiet, Encoding::Mp3},
        {"song191_33", 191.33, 0, Intro::Silent, Encoding::Ogg},
        {"song75_5", 75.5, 812.3, Intro::Quiet, Encoding::Wav},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MusicRecipe recipe;
        recipe.kind = MusicKind::Song;
        recipe.bpm = c.bpm;
        recipe.gapMs = c.gapMs;
        recipe.intro = c.intro;
        recipe.seconds = 24;
        const TempoResult r = analyseFile(make(c.name, recipe, c.encoding));
        ASSERT_EQ(r.outcome, Outcome::Steady) << r.message;
        EXPECT_NEAR(r.bpm, c.bpm, 0.02);
        EXPECT_NEAR(r.gapMs, c.gapMs, 10);
    }
}

// Music unlike the above: clicks of other timbres, lengths and levels at the
// ends of the tempo range, intros of noise or a pad, songs whose beat is
// marked only by hats, a bass line or a shuffle, at other sample rates and in
// stereo. The tempo is the pulse the pattern marks, never its double or half.
TEST_F(TempoAnalysis, HoldsOnClicksAndSongsOfEveryKind) {
    struct Case {
        Style style;
        Timbre timbre;
        double clickMs, levelDb, bpm, gapMs;
        IntroKind intro;
        Encoding encoding;
        int rate, channels;
        // The kick on every beat (under a bass between, or snares on every
        // other one) settles the octave: no "about as much reason" for the
        // other.
        bool lowBandSettles = false;
    } cases[] = {
        {Style::Click, Timbre::Noise, 1, -30, 300, 1234.5, IntroKind::Noise, Encoding::Ogg, 22050,
         2},
        {Style::Click, Timbre::Square, 50, -6, 60, 0, IntroKind::Silence, Encoding::Wav, 48000, 1},
        {Style::Click, Timbre::Wood, 3, -18, 173.25, 4000, IntroKind::Pad, Encoding::Mp3, 44100, 2},
        {Style::FourFloor, Timbre::Sine, 0, -3, 128, 850, IntroKind::Pad, Encoding::Mp3, 48000, 2},
        {Style::HatsOnly, Timbre::Sine, 0, -12, 95.5, 300, IntroKind::Silence, Encoding::Wav, 32000,
         1},
        {Style::Shuffle, Timbre::Sine, 0, -8, 114, 2000, IntroKind::Noise, Encoding::Ogg, 44100, 1},
        {Style::BassLed, Timbre::Sine, 0, -1, 145.37, 0, IntroKind::Silence, Encoding::Wav, 44100,
         2},
        // A backbeat at a fast tempo: the snares between the kicks are beats.
        {Style::Rock, Timbre::Sine, 0, -10, 208, 0, IntroKind::Silence, Encoding::Wav, 44100, 2},
        {Style::Shuffle, Timbre::Sine, 0, -9, 172, 1500, IntroKind::Silence, Encoding::Wav, 22050,
         1},
        // Kicks off the beat over sixteenths: no reading in three.
        {Style::Syncopated, Timbre::Sine, 0, -5, 187.39, 2366, IntroKind::Noise, Encoding::Wav,
         48000, 2},
        // Hats between the beats louder than the kicks and snares on them: the
        // grid is on the drums, not half a beat off.
        {Style::Offbeats, Timbre::Sine, 0, -6, 124, 420, IntroKind::Silence, Encoding::Ogg, 44100,
         1},
        // Kicks with loud open hats and a bass between them: the kicks are the
        // beat, not one of two eighths.
        {Style::House, Timbre::Sine, 0, -4, 136, 1000, IntroKind::Silence, Encoding::Wav, 44100, 1},
        // ... also where the hats and the bass between them sound as loud as
        // the kicks, whose low end alone stands out.
        {Style::House, Timbre::Sine, 0, -9, 128, 820, IntroKind::Pad, Encoding::Wav, 48000, 2,
         true},
        {Style::House, Timbre::Sine, 0, -12, 142.5, 300, IntroKind::Silence, Encoding::Mp3, 44100,
         2, true},
        // Kicks on every sixteenth or eighth under a snare on 2 and 4: the
        // beats between the snares are beats, though only the low end marks
        // them.
        {Style::DoubleKick, Timbre::Sine, 0, -6, 176, 640, IntroKind::Silence, Encoding::Ogg, 44100,
         1, true},
        {Style::DoubleKick, Timbre::Sine, 0, -10, 204, 0, IntroKind::Noise, Encoding::Wav, 32000, 2,
         true},
        // ... where the snare's own low end leaves the kicks between the
        // snares softer in the low band: kicks on every eighth of the
        // snares' beat are no drummer's, so the snares are every other beat.
        {Style::DoubleKick, Timbre::Sine, 0, -12, 172.4, 2970, IntroKind::Noise, Encoding::Wav,
         32000, 2, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        EvalCase e;
        e.style = c.style;
        e.timbre = c.timbre;
        e.clickMs = c.clickMs;
        e.levelDb = c.levelDb;
        e.bpm = c.bpm;
        e.gapMs = c.gapMs;
        e.intro = c.intro;
        e.encoding = c.encoding;
        e.sampleRate = c.rate;
        e.channels = c.channels;
        e.seconds = 24;
        e.seed = unsigned(77 + n);
        const QString path =
            dir.filePath(QStringLiteral("case%1.").arg(n++) + extension(c.encoding));
        SCOPED_TRACE(path.toStdString() + " " + styleName(c.style) + " " + std::to_string(c.bpm));
        ASSERT_TRUE(writeCase(path, e));
        const TempoResult r = analyseFile(path.toStdString());
        ASSERT_TRUE(r.hasFigures()) << r.message;
        const bool click = c.style == Style::Click;
        EXPECT_NEAR(r.bpm, c.bpm, click ? 0.01 : 0.02);
        EXPECT_NEAR(r.gapMs, c.gapMs, click ? 3 : 10);
        ASSERT_FALSE(r.candidates.empty());
        EXPECT_EQ(r.candidates.front().bpm, r.bpm);
        if (c.lowBandSettles) {
            EXPECT_FALSE(r.octaveBalanced);
        }
        EXPECT_FALSE(r.tempoMap.changesTempo())
            << r.tempoMap.changes.size() << " tempos, " << r.tempoMap.stops.size() << " stops";
    }
}

// Music after an intro: the first beat is the first sound of the music, even
// when it is soft and the intro's swells hide it from the onset picking, and
// the intro's own faint onsets neither pull the BPM nor hide the beat.
TEST_F(TempoAnalysis, FindsTheBeatAfterAnIntro) {
    struct Case {
        const char* what;
        Timbre timbre;
        double clickMs;
        bool accents;
        double levelDb, bpm, gapMs;
        IntroKind intro;
        double seconds;
        unsigned seed;
    } cases[] = {
        {"short soft clicks after a pad", Timbre::Wood, 1, false, -17, 192.5, 3290.2,
         IntroKind::Pad, 56, 1043},
        // Faint onsets of a noise intro near some beats by chance: the fine
        // fit over the song is not pulled by them, nor the beat lost.
        {"short soft clicks after noise", Timbre::Square, 1, true, -25, 233.3, 4700,
         IntroKind::Noise, 30, 5002},
        {"noise clicks after noise", Timbre::Noise, 10, true, -19, 181.25, 4500, IntroKind::Noise,
         22, 5004},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EvalCase e;
        e.style = Style::Click;
        e.timbre = c.timbre;
        e.clickMs = c.clickMs;
        e.accents = c.accents;
        e.levelDb = c.levelDb;
        e.bpm = c.bpm;
        e.gapMs = c.gapMs;
        e.intro = c.intro;
        e.seconds = c.seconds;
        e.seed = c.seed;
        const QString path = dir.filePath(QStringLiteral("intro.wav"));
        ASSERT_TRUE(writeCase(path, e));
        const TempoResult r = analyseFile(path.toStdString());
        ASSERT_TRUE(r.hasFigures()) << r.message;
        EXPECT_NEAR(r.bpm, c.bpm, 0.01);
        EXPECT_NEAR(r.gapMs, c.gapMs, 3);
    }
}

// Music with tempo sections and stops gets them proposed at their beats, each
// section's BPM close; the beats are counted from the first.
TEST_F(TempoAnalysis, FindsTheTempoChangesAndStops) {
    struct Case {
        const char* what;
        Style style;
        double bpm;
        std::vector<MadeTempoChange> made;
        std::vector<BpmChange> changes;
        std::vector<TempoStop> stops;
    } cases[] = {
        {"clicks, two tempos", Style::Click, 120, {{32, 150, 0}}, {{0, 120}, {32, 150}}, {}},
        {"drums, three tempos",
         Style::FourFloor,
         140,
         {{40, 175, 0}, {88, 128, 0}},
         {{0, 140}, {40, 175}, {88, 128}},
         {}},
        {"clicks, a stop", Style::Click, 160, {{48, 0, 0.6}}, {{0, 160}}, {{48, 0.6}}},
        {"kicks, a change and a stop",
         Style::KickOnly,
         100,
         {{24, 0, 0.25}, {48, 133, 0}},
         {{0, 100}, {48, 133}},
         {{24, 0.25}}},
        // A stop parts the first section into two short stretches.
        {"clicks, a short stop in a short first section",
         Style::Click,
         189,
         {{12, 0, 0.099}, {24, 166.5, 0}},
         {{0, 189}, {24, 166.5}},
         {{12, 0.099}}},
        // The second tempo's eighths meet a grid at two thirds of it on
        // every beat, as the first section's grid would: the hats on the
        // beat are louder, so the section keeps its own tempo.
        {"hats, eighths of the second tempo",
         Style::HatsOnly,
         120,
         {{48, 175, 0}},
         {{0, 120}, {48, 175}},
         {}},
        // The last kick before the change lies on both tempos' grids: it
        // ends the first, so the change is at its beat with no stop there.
        {"kicks, a change between two stops",
         Style::KickOnly,
         179,
         {{26, 0, 0.373}, {52, 197.5, 0}, {66, 0, 0.189}},
         {{0, 179}, {52, 197.5}},
         {{26, 0.373}, {66, 0.189}}},
        // A stop of nearly a beat shifts the beats after it by a tenth of
        // one: the windows read straight through it.
        {"drums, a stop of nearly a beat",
         Style::Rock,
         97.5,
         {{24, 185, 0}, {54, 0, 0.291}},
         {{0, 97.5}, {24, 185}},
         {{54, 0.291}}},
        // The twelve beats between the stop and the change are read in one
        // stretch with the beats before the stop: their own grid, not one
        // between the two phases, shows them on the beat.
        {"shuffle, a short stretch between a stop and a change",
         Style::Shuffle,
         102.5,
         {{12, 0, 0.673}, {24, 114.5, 0}},
         {{0, 102.5}, {24, 114.5}},
         {{12, 0.673}}},
        // A window or two of soft onsets at another level before the first
        // section joins it: the whole still counts the loud beats as its
        // own, and the first section stays.
        {"drums, a slow first section",
         Style::Rock,
         93,
         {{36, 127.5, 0}},
         {{0, 93}, {36, 127.5}},
         {}},
        // A note of one section lies on the other's grid a beat from the
        // change: read as the last beat of the first section or the first of
        // the second, it would move the change a beat and make a stop there.
        {"swing, a note on the next tempo's grid a beat before the change",
         Style::Swing,
         173,
         {{32, 152.5, 0}, {56, 172, 0}},
         {{0, 173}, {32, 152.5}, {56, 172}},
         {}},
        // A stop of a whole beat of the new tempo at the change: its beats
        // fall where they would without the stop, but the first after the
        // change is silent.
        {"clicks, a change with a stop of one beat",
         Style::Click,
         130,
         {{32, 100, 0.6}},
         {{0, 130}, {32, 100}},
         {{32, 0.6}}},
        {"drums, a change with a stop of a little over a beat",
         Style::FourFloor,
         140,
         {{32, 168, 0.365}},
         {{0, 140}, {32, 168}},
         {{32, 0.365}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EvalCase e;
        e.style = c.style;
        e.bpm = c.bpm;
        e.gapMs = 700;
        e.tempoChanges = c.made;
        e.seconds = 50;
        e.levelDb = -6;
        e.channels = 1;
        Audio audio;
        audio.samples = renderCase(e);
        audio.sampleRate = e.sampleRate;
        const TempoResult r = analyseAudio(audio);
        ASSERT_TRUE(r.hasFigures()) << r.message;
        EXPECT_TRUE(r.tempoChanges);
        EXPECT_NEAR(r.tempoMap.gapMs, e.gapMs, 10);
        ASSERT_EQ(r.tempoMap.changes.size(), c.changes.size());
        for (std::size_t i = 0; i < c.changes.size(); ++i) {
            EXPECT_NEAR(r.tempoMap.changes[i].beat, c.changes[i].beat, 1) << i;
            EXPECT_NEAR(r.tempoMap.changes[i].bpm, c.changes[i].bpm, 0.05) << i;
        }
        ASSERT_EQ(r.tempoMap.stops.size(), c.stops.size());
        for (std::size_t i = 0; i < c.stops.size(); ++i) {
            EXPECT_NEAR(r.tempoMap.stops[i].beat, c.stops[i].beat, 1) << i;
            EXPECT_NEAR(r.tempoMap.stops[i].seconds, c.stops[i].seconds, 0.01) << i;
        }
    }
}

// Music in one tempo gets no tempo changes, even where windows of it read
// another level or phase (kicks off the beat read at two thirds of it).
TEST_F(TempoAnalysis, ProposesNoChangesInSteadyMusic) {
    struct Case {
        const char* what;
        Style style;
        double bpm, gapMs, seconds;
        unsigned seed;
    } cases[] = {
        {"syncopated kicks over sixteenths", Style::Syncopated, 184, 2346, 60, 9255},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EvalCase e;
        e.style = c.style;
        e.bpm = c.bpm;
        e.gapMs = c.gapMs;
        e.seconds = c.seconds;
        e.seed = c.seed;
        e.levelDb = -6;
        e.channels = 1;
        Audio audio;
        audio.samples = renderCase(e);
        audio.sampleRate = e.sampleRate;
        const TempoResult r = analyseAudio(audio);
        ASSERT_TRUE(r.hasFigures()) << r.message;
        EXPECT_NEAR(r.bpm, c.bpm, 0.02);
        EXPECT_FALSE(r.tempoMap.changesTempo())
            << r.tempoMap.changes.size() << " tempos, " << r.tempoMap.stops.size() << " stops";
    }
}

// Music in two tempos is not given one figure as if it were steady.
TEST_F(TempoAnalysis, SaysWhenTheTempoChanges) {
    MusicRecipe slow;
    slow.bpm = 120;
    slow.gapMs = 500;
    slow.seconds = 24;
    MusicRecipe fast = slow;
    fast.bpm = 150;
    fast.gapMs = 0;
    std::vector<float> both = renderMusic(slow);
    const std::vector<float> second = renderMusic(fast);
    both.insert(both.end(), second.begin(), second.end());
    const TempoResult r = analyseFile(makeRaw("two-tempos.wav", both));
    ASSERT_TRUE(r.hasFigures()) << r.message;
    EXPECT_TRUE(r.tempoChanges);
    EXPECT_EQ(r.outcome, Outcome::Guess);
}

// A figure is called exact only when its beats stay within a few
// milliseconds of the music's over the whole song: not for music that
// speeds up little by little (one figure fits its middle and parts from
// its ends), nor for music in two tempos.
TEST_F(TempoAnalysis, CallsAFigureExactOnlyWhenItHoldsOverTheSong) {
    // From 179.565 to 180.445 BPM over a minute: 180 in the middle.
    std::vector<MadeTempoChange> creeping;
    for (int beat = 4; beat < 180; beat += 4)
        creeping.push_back({beat, 179.565 + 0.02 * beat / 4, 0});
    struct Case {
        const char* what;
        Style style;
        double bpm;
        std::vector<MadeTempoChange> made;
        bool exact;
    } cases[] = {
        {"steady clicks", Style::Click, 150, {}, true},
        {"steady drums", Style::Rock, 132.5, {}, true},
        {"clicks speeding up by a two-hundredth of a BPM a beat", Style::Click, 179.565, creeping,
         false},
        {"drums in two tempos", Style::FourFloor, 140, {{40, 175, 0}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EvalCase e;
        e.style = c.style;
        e.bpm = c.bpm;
        e.gapMs = 400;
        e.tempoChanges = c.made;
        e.seconds = 60;
        e.levelDb = -6;
        Audio audio;
        audio.samples = renderCase(e);
        audio.sampleRate = e.sampleRate;
        const TempoResult r = analyseAudio(audio);
        ASSERT_TRUE(r.hasFigures()) << r.message;
        EXPECT_EQ(r.candidates.front().exact, c.exact) << r.driftMs << " ms drift";
        if (c.exact)
            EXPECT_LE(r.driftMs, kExactDriftMs);
        else
            for (const TempoCandidate& candidate : r.candidates)
                EXPECT_FALSE(candidate.exact) << candidate.bpm;
    }
}

// Dense music placed loosely, as in a full mix: a kick on every beat under
// hats on every sixteenth, each hit some milliseconds off its place. More
// onsets lie between the beats than on them, but the beats carry the
// strongest attacks: the beat is found, not a grid at a ratio of it. The same hits at random times,
// as dense and as loud, give no figures.
TEST_F(TempoAnalysis, DenseLooseMusicHasABeatAndRandomHitsHaveNone) {
    struct Case {
        const char* name;
        double bpm;
        int hatsPerBeat;
        double scatterMs;
        bool onBeat; // false: every hit at a random time
    } cases[] = {
        {"128, sixteenth hats", 128, 4, 8, true},
        {"150, sixteenth hats, looser", 150, 4, 10, true},
        // (A grid at four thirds or two thirds of the beat meets dense hats
        // too, and as tightly: the beat's own grid stands further above
        // chance.)
        {"172, sixteenth hats, loosest", 172, 4, 14, true},
        {"174, sixteenth hats, looser", 174, 4, 10, true},
        {"180, sixteenth hats", 180, 4, 8, true},
        {"hits at random times", 174, 8, 8, false},
    };
    constexpr int rate = 44100;
    constexpr double seconds = 40, firstBeat = 0.5;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::mt19937 rng(7);
        std::normal_distribution<double> scatter(0, c.scatterMs / 1000);
        std::uniform_real_distribution<double> anywhere(0, seconds);
        std::uniform_real_distribution<float> hatLevel(0.15f, 0.35f);
        std::normal_distribution<float> noise(0, 1);
        std::vector<float> samples(std::size_t(rate * (seconds + 1)), 0.0f);
        auto hit = [&](double time, bool kick, float level) {
            const long long at = std::llround(time * rate);
            const int length = kick ? rate / 8 : rate / 33;
            for (int i = 0; i < length; ++i) {
                const std::size_t n = std::size_t(at + i);
                if (at + i < 0 || n >= samples.size())
                    continue;
                const double t = double(i) / rate;
                samples[n] +=
                    kick ? float(0.8 *
                                 std::sin(2 * M_PI * (50 * t + 2.7 * (1 - std::exp(-30 * t)))) *
                                 std::exp(-25 * t))
                         : level * noise(rng) * float(std::exp(-120 * t));
            }
        };
        const double period = 60 / c.bpm;
        for (int beat = 0; firstBeat + beat * period < seconds; ++beat) {
            const double t = firstBeat + beat * period;
            hit(c.onBeat ? t + scatter(rng) : anywhere(rng), true, 0.8f);
            for (int h = 0; h < c.hatsPerBeat; ++h)
                hit(c.onBeat ? t + h * period / c.hatsPerBeat + scatter(rng) : anywhere(rng), false,
                    hatLevel(rng));
        }
        for (float& v : samples)
            v = std::clamp(v, -1.0f, 1.0f);
        const TempoResult r = analyseFile(makeRaw("dense.wav", samples));
        if (!c.onBeat) {
            EXPECT_EQ(r.outcome, Outcome::NoBeat) << r.bpm;
            continue;
        }
        ASSERT_TRUE(r.hasFigures()) << r.message;
        EXPECT_NEAR(r.bpm, c.bpm, 0.05);
        EXPECT_NEAR(r.gapMs, firstBeat * 1000, 10);
    }
}

TEST_F(TempoAnalysis, InputWithoutABeatGivesNoFigures) {
    std::mt19937 rng(3);
    std::normal_distribution<float> noise(0, 0.2f);
    std::vector<float> white(44100 * 8);
    for (float& v : white)
        v = std::clamp(noise(rng), -1.0f, 1.0f);
    MusicRecipe oneSecond;
    oneSecond.bpm = 120;
    oneSecond.seconds = 1;

    QFile text(dir.filePath(QStringLiteral("notes.mp3")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is not music at all, only a text with a music file's name.\n");
    text.close();
    QFile empty(dir.filePath(QStringLiteral("empty.wav")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    struct Case {
        const char* name;
        std::string path;
        Outcome outcome;
        const char* message;
    } cases[] = {
        {"not audio", text.fileName().toStdString(), Outcome::Unreadable, "not audio"},
        {"empty", empty.fileName().toStdString(), Outcome::Unreadable, "the file is empty"},
        {"missing", dir.filePath(QStringLiteral("none.ogg")).toStdString(), Outcome::Unreadable,
         "no such file"},
        {"a folder", dir.path().toStdString(), Outcome::Unreadable, "not a regular file"},
        {"one second", make("second", oneSecond, Encoding::Wav), Outcome::NoBeat,
         "no steady beat found"},
        {"silence", makeRaw("silence.wav", std::vector<float>(44100 * 8, 0.0f)), Outcome::NoBeat,
         "no steady beat found"},
        {"white noise", makeRaw("noise.wav", white), Outcome::NoBeat, "no steady beat found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempoResult r = analyseFile(c.path);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_FALSE(r.hasFigures());
        EXPECT_NE(r.message.find(c.message), std::string::npos) << r.message;
    }
}

TEST_F(TempoAnalysis, ReportsProgressAndStopsWhenCancelled) {
    MusicRecipe recipe;
    recipe.kind = MusicKind::ClickTrack;
    recipe.seconds = 12;
    const std::string path = make("progress", recipe, Encoding::Wav);

    std::vector<double> seen;
    Hooks hooks;
    hooks.progress = [&seen](double f) { seen.push_back(f); };
    EXPECT_EQ(analyseFile(path, hooks).outcome, Outcome::Steady);
    ASSERT_FALSE(seen.empty());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    EXPECT_GE(seen.front(), 0.0);
    EXPECT_DOUBLE_EQ(seen.back(), 1.0);

    // Stopped at once, and stopped once the analysis is under way.
    for (double stopAt : {0.0, 0.5}) {
        std::atomic<bool> stop{stopAt == 0.0};
        Hooks h;
        h.cancel = &stop;
        h.progress = [&stop, stopAt](double f) {
            if (f >= stopAt)
                stop = true;
        };
        const TempoResult r = analyseFile(path, h);
        EXPECT_EQ(r.outcome, Outcome::Cancelled) << stopAt;
        EXPECT_FALSE(r.hasFigures());
    }
}

} // namespace

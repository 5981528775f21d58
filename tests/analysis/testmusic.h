#pragma once
// Music made in the tests, with known tempo and first beat: click tracks
// and small synthetic songs (kick, snare, hi-hat, bass, noise, an optional
// quiet intro), written as WAV and encoded to MP3 or OGG with ffmpeg.

#include <QString>

#include <vector>

namespace kolvo::test {

enum class MusicKind {
    ClickTrack, // a click on every beat, the first of each bar higher
    Song,       // kick on 1 and 3, snare on 2 and 4, hi-hats on eighths, a bass line, noise
};

enum class Intro {
    Silent, // nothing before the first beat
    Quiet,  // a soft pad and faint noise before the first beat
};

struct MusicRecipe {
    MusicKind kind = MusicKind::ClickTrack;
    double bpm = 120;
    double gapMs = 0; // time of the first beat
    double seconds = 20;
    Intro intro = Intro::Silent;
    unsigned seed = 1;
    int sampleRate = 44100;
};

// The mono samples of the music, -1..1.
std::vector<float> renderMusic(const MusicRecipe& recipe);

// Writes 16-bit mono PCM WAV; false on a write error.
bool writeWav(const QString& path, const std::vector<float>& samples, int sampleRate);

enum class Encoding { Wav, Mp3, Ogg };
const char* extension(Encoding e);

// Writes the music to `path` in `encoding` (MP3 and OGG through ffmpeg, via
// a WAV beside it); false when writing or encoding failed.
bool writeMusic(const QString& path, const MusicRecipe& recipe, Encoding encoding);

} // namespace kolvo::test

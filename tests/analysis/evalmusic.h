#pragma once
// A broad set of made music with a known BPM and first beat, for measuring
// tempo detection on music it was not tuned on: click tracks of many timbres,
// lengths and levels, and small drum and synthesiser songs in many styles,
// written as WAV, MP3 or OGG at 22.05-48 kHz, mono or stereo. The set is
// split once and for all into a development half and a held-out half.

#include "testmusic.h"

#include <QString>

#include <string>
#include <vector>

namespace kolvo::test {

enum class Style {
    Click,      // a click on every beat
    FourFloor,  // kick on every beat, snare on 2 and 4, open hats on the off-beats
    Rock,       // kick on 1 and 3, snare on 2 and 4, closed hats on eighths, bass on eighths
    Syncopated, // kicks on and off the beat, snare on 2 and 4, sixteenth hats
    Swing,      // ride on the beat and the swung off-beat, snare on 2 and 4, walking bass
    Shuffle,    // triplet shuffle: kick, snare, hats and bass on the first and last third
    KickOnly,   // a kick on every beat and nothing else
    HatsOnly,   // hats on eighths, the ones on the beat louder
    BassLed,    // a plucked bass line on every beat and its eighths, soft hats
    Sustained,  // a legato synth line and chords changing on the beat, no drums
    Offbeats,   // kick on 1 and 3, snare on 2 and 4, hats only between the beats, louder
    House,      // kick on every beat, loud open hats and a bass between the beats
    DoubleKick, // kicks on every sixteenth (eighth when fast), snare on 2 and 4, ride on the beat
    Breakbeat,  // broken kicks, snare on 2 and 4 with ghost notes, sixteenth hats
};

enum class Timbre { Sine, Square, Noise, Wood };

enum class IntroKind {
    Silence, // nothing before the first beat
    Noise,   // a soft noise floor before the first beat
    Pad,     // a slowly swelling chord with no beat
};

// From `beat` (counted from the first beat, 0) on, the music goes at `bpm`
// (0: as before) and, after that beat's sounds, holds still `stopSeconds`.
struct MadeTempoChange {
    int beat = 0;
    double bpm = 0;
    double stopSeconds = 0;
};

struct EvalCase {
    std::string name;
    Style style = Style::Click;
    Timbre timbre = Timbre::Sine; // of the clicks
    double clickMs = 10;          // length of a click
    bool accents = true;          // the first beat of each bar louder and higher
    double levelDb = -1;          // peak level, dBFS
    double bpm = 120;
    double gapMs = 0;                          // time of the first beat
    std::vector<MadeTempoChange> tempoChanges; // later tempos and stops, by beat
    IntroKind intro = IntroKind::Silence;
    Encoding encoding = Encoding::Wav;
    int sampleRate = 44100;
    int channels = 1;
    double seconds = 30;
    unsigned seed = 1;
    bool heldOut = false; // in the half that is only ever reported on
};

const char* styleName(Style s);

// Every case of the set, the same on every run.
std::vector<EvalCase> evaluationSet();

// Made music whose tempo changes: two to four sections in many styles, some
// with stops, split like the set above.
std::vector<EvalCase> tempoMapSet();

// The case's samples, interleaved when it has two channels, -1..1.
std::vector<float> renderCase(const EvalCase& c);

// Writes the case in its encoding; false when writing or encoding failed.
bool writeCase(const QString& path, const EvalCase& c);

} // namespace kolvo::test

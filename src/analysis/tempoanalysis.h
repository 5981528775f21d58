#pragma once
// Tempo and first-beat detection from a music file. No Qt: the desktop
// program runs it on a worker thread, kolvo-cli runs it directly.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace kolvo::analysis {

// What a caller may watch and stop. Both are used from the analysing thread.
struct Hooks {
    std::function<void(double)> progress;      // 0 .. 1, rising
    const std::atomic<bool>* cancel = nullptr; // set to stop early
    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    void report(double fraction) const {
        if (progress)
            progress(fraction);
    }
};

// Decoded music, mixed down to one channel.
struct Audio {
    std::vector<float> samples;
    int sampleRate = 0;
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0; }
};

enum class Outcome {
    Steady,     // a steady beat over most of the music
    Guess,      // a beat was fitted, but over too little of the music to trust
    NoBeat,     // nothing steady enough to give figures at all
    Unreadable, // not a file that decodes as audio
    Cancelled,
};

// One tempo the music could be charted in.
struct TempoCandidate {
    double bpm = 0;         // the figure to use
    double measuredBpm = 0; // straight from the fitted beat grid
    double bpmError = 0;    // standard error of measuredBpm
    double gapMs = 0;       // first beat at this tempo at or after the first clear onset
    double confidence = 0;  // share of the evidence for this tempo, 0..1
    double driftMs = 0;     // how far the beats of bpm (as written, three decimals) part from
                            // the music's over the song, at the worst
    bool exact = false;     // a steady beat whose figure stays within kExactDriftMs of the
                            // music over the whole song
};
// How far a figure's beats may part from the music's over the song for the
// figure to be called exact.
inline constexpr double kExactDriftMs = 5;

// A tempo the music takes from a beat on, counted from the first beat (beat
// 0, at the gap).
struct BpmChange {
    double beat = 0;
    double bpm = 0;
};
// The music holding still after a beat's sounds, before the next beat.
struct TempoStop {
    double beat = 0;
    double seconds = 0;
};
// The tempos of music whose tempo changes: the first change is at beat 0
// with the BPM the music starts in. One change and no stops when the tempo
// holds over the song.
struct TempoMapGuess {
    double gapMs = 0; // time of beat 0
    std::vector<BpmChange> changes;
    std::vector<TempoStop> stops;
    bool changesTempo() const { return changes.size() > 1 || !stops.empty(); }
};

struct TempoResult {
    Outcome outcome = Outcome::NoBeat;
    double bpm = 0;              // the figure to use (a round one when it fits as well)
    double measuredBpm = 0;      // straight from the fitted beat grid
    double bpmError = 0;         // standard error of measuredBpm
    double gapMs = 0;            // first beat of the grid at or after the first clear onset
    double steadyShare = 0;      // share of the music's beats that have an onset on the grid
    int beats = 0;               // onsets that lie on the grid
    bool tempoChanges = false;   // the music's tempo is not one figure over the song
    bool octaveBalanced = false; // the second candidate is about as likely as the first
    double driftMs = 0;          // the chosen candidate's driftMs
    std::vector<TempoCandidate> candidates; // the chosen tempo (the figures above) first
    TempoMapGuess tempoMap;                 // sections and stops found over the whole song
    double trackerBpm = 0;                  // the beat tracker's own estimate, before refinement
    double decodeSeconds = 0;
    double analysisSeconds = 0;
    std::string message; // why there are no figures ("no steady beat found", "no such file", ...)

    bool hasFigures() const { return outcome == Outcome::Steady || outcome == Outcome::Guess; }
};

// Reads the file through the audio library's decoders (WAV, MP3, OGG ...).
// Empty samples and `error` set when it cannot be read.
Audio decodeAudio(const std::string& path, std::string& error, const Hooks& hooks = {});

// Finds the beat grid of decoded music.
TempoResult analyseAudio(const Audio& audio, const Hooks& hooks = {});

// Decodes and analyses; progress runs over both.
TempoResult analyseFile(const std::string& path, const Hooks& hooks = {});

// The BPM as text with at most three decimals and no trailing zeros ("150",
// "137.5", "191.33").
std::string bpmText(double bpm);
// The gap in whole milliseconds.
long long gapWholeMs(double gapMs);

} // namespace kolvo::analysis

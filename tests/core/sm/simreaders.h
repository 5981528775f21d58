#pragma once

// Small readers of DWI and .sm files for the tests, written after the way
// the simulators read them (StepMania's public loaders): what a player would
// get from a file, reduced to notes, holds, tempo changes and stops.
#include <QByteArray>

#include <compare>
#include <map>
#include <string>
#include <vector>

namespace simread {

// Rows are 48 to a beat, as the simulators count them.
struct Note {
    int column = 0;
    int row = 0;
    int holdLength = 0; // 0 for a tap
    auto operator<=>(const Note&) const = default;
};

struct Chart {
    std::string type;       // "dance-single", ...
    std::string difficulty; // "Easy", "Medium", "Hard", "Challenge", ... "" when unknown
    int meter = 0;
    std::vector<Note> notes; // by column, then row
    int rows = 0;            // length of the note text in rows (both pads)
    bool operator==(const Chart&) const = default;
};

struct Song {
    float offset = 0;
    std::map<int, float> bpms;  // row -> BPM, without repeats of the tempo before
    std::map<int, float> stops; // row -> seconds
    std::vector<Chart> charts;
    bool operator==(const Song&) const = default;
};

Song readDwi(const QByteArray& file);
Song readSm(const QByteArray& file);

// A readable account of a song for failure messages.
std::string describe(const Song& song);

} // namespace simread

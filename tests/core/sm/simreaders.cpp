#include "simreaders.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <sstream>
#include <string_view>

namespace simread {

namespace {

using Params = std::vector<std::string>;

// The tag syntax: #NAME:value:value...; with // comments; a # that starts a
// line ends a tag whose ; is missing. With `unescape`, \x is a plain x.
std::vector<Params> readTags(std::string_view buf, bool unescape) {
    std::vector<Params> values;
    bool reading = false;
    bool started = false;
    std::string cur;
    const std::size_t len = buf.size();
    std::size_t i = 0;
    while (i < len) {
        if (i + 1 < len && buf[i] == '/' && buf[i + 1] == '/') {
            while (i < len && buf[i] != '\n')
                ++i;
            continue;
        }
        if (reading && buf[i] == '#') {
            std::size_t j = cur.size();
            bool firstOnLine = true;
            while (j > 0 && cur[j - 1] != '\r' && cur[j - 1] != '\n') {
                if (cur[j - 1] == ' ' || cur[j - 1] == '\t') {
                    --j;
                    continue;
                }
                firstOnLine = false;
                break;
            }
            if (!firstOnLine) {
                cur += buf[i++];
                continue;
            }
            cur.resize(j);
            while (!cur.empty() &&
                   std::string_view("\r\n \t").find(cur.back()) != std::string::npos)
                cur.pop_back();
            values.back().push_back(cur);
            cur.clear();
            reading = false;
        }
        if (!reading && buf[i] == '#') {
            values.emplace_back();
            reading = true;
        }
        if (!reading) {
            i += unescape && buf[i] == '\\' ? 2 : 1;
            continue;
        }
        if (started && (buf[i] == ':' || buf[i] == ';'))
            values.back().push_back(cur);
        if (buf[i] == '#' || buf[i] == ':') {
            ++i;
            cur.clear();
            started = true;
            continue;
        }
        if (buf[i] == ';') {
            reading = false;
            ++i;
            continue;
        }
        if (unescape && buf[i] == '\\')
            ++i;
        if (i < len)
            cur += buf[i++];
    }
    if (reading)
        values.back().push_back(cur);
    return values;
}

std::string lower(std::string s) {
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t\r\n") - b + 1);
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::size_t b = 0;
    while (b <= s.size()) {
        std::size_t e = s.find(sep, b);
        if (e == std::string::npos)
            e = s.size();
        if (e > b) // empty pieces are dropped
            out.push_back(s.substr(b, e - b));
        b = e + 1;
    }
    return out;
}

// The leading number of a text as a float (0 when there is none).
float toFloat(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    if (i < s.size() && s[i] == '+')
        ++i;
    float v = 0;
    auto res = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (res.ec != std::errc() || !std::isfinite(v))
        return 0;
    return v;
}

// The leading whole number of a text; 0 when there is none or it is too large.
int toInt(const std::string& s) {
    std::size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    if (i < s.size() && s[i] == '+')
        ++i;
    int v = 0;
    auto res = std::from_chars(s.data() + i, s.data() + s.size(), v);
    return res.ec == std::errc() ? v : 0;
}

// A meter below 1 is replaced by a predicted one, which is 1 for a chart
// just loaded.
int meterOf(std::string text) {
    if (text.empty())
        text = "1";
    return std::max(1, toInt(text));
}

int beatToRow(float beat) {
    return int(std::lrintf(beat * 48));
}

std::string difficultyOf(const std::string& name) {
    const std::string s = lower(name);
    if (s == "beginner")
        return "Beginner";
    if (s == "easy" || s == "basic" || s == "light")
        return "Easy";
    if (s == "medium" || s == "another" || s == "trick" || s == "standard" || s == "difficult")
        return "Medium";
    if (s == "hard" || s == "ssr" || s == "maniac" || s == "heavy")
        return "Hard";
    if (s == "challenge" || s == "smaniac" || s == "expert" || s == "oni")
        return "Challenge";
    if (s == "edit")
        return "Edit";
    return {};
}

// Tempo changes equal to the tempo before them change nothing.
std::map<int, float> withoutRepeats(const std::map<int, float>& bpms) {
    std::map<int, float> out;
    std::optional<float> last;
    for (const auto& [row, bpm] : bpms) {
        if (last && *last == bpm)
            continue;
        out[row] = bpm;
        last = bpm;
    }
    return out;
}

// ---- DWI ----

constexpr int kNone = -1;

// The columns a DWI character strikes on one pad (left, up-left, down, up,
// up-right, right as 0..5).
std::pair<int, int> dwiArrows(char c) {
    enum { L, UL, D, U, UR, R };
    switch (c) {
    case '1':
        return {D, L};
    case '2':
        return {D, kNone};
    case '3':
        return {D, R};
    case '4':
        return {L, kNone};
    case '6':
        return {R, kNone};
    case '7':
        return {U, L};
    case '8':
        return {U, kNone};
    case '9':
        return {U, R};
    case 'A':
        return {U, D};
    case 'B':
        return {L, R};
    case 'C':
        return {UL, kNone};
    case 'D':
        return {UR, kNone};
    case 'E':
        return {L, UL};
    case 'F':
        return {UL, D};
    case 'G':
        return {UL, U};
    case 'H':
        return {UL, R};
    case 'I':
        return {L, UR};
    case 'J':
        return {D, UR};
    case 'K':
        return {U, UR};
    case 'L':
        return {UR, R};
    case 'M':
        return {UL, UR};
    default:
        return {kNone, kNone};
    }
}

enum Kind { Tap = 1, Head = 2 };
using Track = std::map<int, std::pair<Kind, int>>; // row -> kind, hold length

int dwiColumn(const std::string& type, int pad, int arrow) {
    if (arrow == kNone)
        return kNone;
    if (type == "dance-solo")
        return pad == 0 ? arrow : kNone;
    static const int four[] = {0, kNone, 1, 2, kNone, 3}; // L, D, U, R
    const int c = four[arrow];
    if (c == kNone)
        return kNone;
    return type == "dance-single" ? (pad == 0 ? c : kNone) : c + 4 * pad;
}

bool is192(const std::string& s, std::size_t pos) {
    for (; pos < s.size(); ++pos) {
        if (s[pos] == '>')
            return false;
        if (s[pos] == '0')
            return true;
    }
    return false;
}

void readDwiNotes(Chart& chart, const std::vector<std::string>& pads) {
    const int tracks = chart.type == "dance-single" ? 4 : chart.type == "dance-solo" ? 6 : 8;
    std::vector<Track> notes(static_cast<std::size_t>(tracks));
    for (int pad = 0; pad < int(pads.size()); ++pad) {
        std::string data;
        for (char c : pads[std::size_t(pad)])
            if (c != '\n' && c != '\r' && c != '\t' && c != ' ')
                data += c;
        double beat = 0;
        double step = 0.5;
        auto set = [&](char c, int row, Kind kind) {
            const auto [a, b] = dwiArrows(c);
            for (int arrow : {a, b}) {
                const int col = dwiColumn(chart.type, pad, arrow);
                if (col != kNone)
                    notes[std::size_t(col)][row] = {kind, 0};
            }
        };
        for (std::size_t i = 0; i < data.size();) {
            char c = data[i++];
            switch (c) {
            case '(':
                step = 0.25;
                break;
            case '[':
                step = 1.0 / 6;
                break;
            case '{':
                step = 1.0 / 16;
                break;
            case '`':
                step = 1.0 / 48;
                break;
            case ')':
            case ']':
            case '}':
            case '\'':
            case '>':
                step = 0.5;
                break;
            default: {
                if (c == '!')
                    continue;
                bool jump = false;
                if (c == '<') {
                    if (is192(data, i)) {
                        step = 1.0 / 48;
                        break;
                    }
                    jump = true;
                    ++i;
                }
                const int row = beatToRow(float(beat));
                --i;
                do {
                    c = data[i++];
                    if (jump && c == '>')
                        break;
                    set(c, row, Tap);
                    if (i >= data.size())
                        break;
                    if (data[i] == '!') {
                        ++i;
                        set(data[i++], row, Head);
                    }
                } while (jump);
                beat += step;
            } break;
            }
        }
        chart.rows = std::max(chart.rows, beatToRow(float(beat)));
    }
    // A hold ends on the next note of its track, which it takes; a hold
    // with nothing after it is dropped.
    for (int t = 0; t < tracks; ++t) {
        Track& track = notes[std::size_t(t)];
        for (auto it = track.begin(); it != track.end();) {
            if (it->second.first != Head) {
                ++it;
                continue;
            }
            auto tail = std::next(it);
            if (tail == track.end()) {
                track.erase(it);
                break;
            }
            it->second.second = tail->first - it->first;
            it = track.erase(tail);
        }
        for (const auto& [row, note] : track)
            chart.notes.push_back({t, row, note.second});
    }
}

// ---- .sm ----

void readSmNotes(Chart& chart, const std::string& data) {
    const int tracks = chart.type == "dance-single" ? 4 : chart.type == "dance-solo" ? 6 : 8;
    std::vector<Track> notes(static_cast<std::size_t>(tracks));
    const std::vector<std::string> measures = split(data, ',');
    for (std::size_t m = 0; m < measures.size(); ++m) {
        std::vector<std::string> ls;
        for (const std::string& l : split(measures[m], '\n'))
            if (!trim(l).empty())
                ls.push_back(trim(l));
        for (std::size_t l = 0; l < ls.size(); ++l) {
            const float beat = (float(m) + float(l) / float(ls.size())) * 4;
            const int row = beatToRow(beat);
            for (int t = 0; t < tracks && t < int(ls[l].size()); ++t) {
                Track& track = notes[std::size_t(t)];
                switch (ls[l][std::size_t(t)]) {
                case '1':
                    track[row] = {Tap, 0};
                    break;
                case '2':
                    track[row] = {Head, std::numeric_limits<int>::max()};
                    break;
                case '3': {
                    // The hold this ends is the last note before it, if a hold.
                    auto it = track.lower_bound(row);
                    if (it == track.begin())
                        break;
                    --it;
                    if (it->second.first == Head &&
                        (it->second.second == std::numeric_limits<int>::max() ||
                         it->second.second + it->first >= row))
                        it->second.second = row - it->first;
                } break;
                default:
                    break; // the writer uses no other note
                }
            }
        }
    }
    chart.rows = int(measures.size()) * 4 * 48;
    for (int t = 0; t < tracks; ++t)
        for (const auto& [row, note] : notes[std::size_t(t)])
            if (note.second != std::numeric_limits<int>::max()) // an unended hold is dropped
                chart.notes.push_back({t, row, note.second});
}

} // namespace

Song readDwi(const QByteArray& file) {
    Song song;
    std::map<int, float> bpms;
    for (const Params& p :
         readTags(std::string_view(file.constData(), std::size_t(file.size())), false)) {
        if (p.size() < 2)
            continue;
        const std::string name = lower(p[0]);
        if (name == "bpm") {
            const float bpm = toFloat(p[1]);
            if (bpm > 0)
                bpms[0] = bpm;
        } else if (name == "gap") {
            song.offset = float(-toInt(p[1])) / 1000.0f;
        } else if (name == "changebpm" || name == "freeze") {
            for (const std::string& e : split(p[1], ',')) {
                const std::vector<std::string> kv = split(e, '=');
                if (kv.size() != 2)
                    continue;
                const int row = beatToRow(toFloat(kv[0]) / 4.0f);
                if (name == "freeze")
                    song.stops[row] = toFloat(kv[1]) / 1000.0f;
                else if (toFloat(kv[1]) > 0)
                    bpms[row] = toFloat(kv[1]);
            }
        } else if (name == "single" || name == "double" || name == "couple" || name == "solo") {
            if (p.size() < 4)
                continue;
            Chart c;
            c.type = "dance-" + name;
            c.difficulty = difficultyOf(p[1]);
            c.meter = meterOf(p[2]);
            std::vector<std::string> pads{p[3]};
            if (p.size() == 5)
                pads.push_back(p[4]);
            readDwiNotes(c, pads);
            song.charts.push_back(c);
        }
    }
    song.bpms = withoutRepeats(bpms);
    return song;
}

Song readSm(const QByteArray& file) {
    Song song;
    std::vector<std::pair<float, float>> bpms, stops;
    for (const Params& p :
         readTags(std::string_view(file.constData(), std::size_t(file.size())), true)) {
        if (p.size() < 2)
            continue;
        const std::string name = lower(p[0]);
        if (name == "offset") {
            song.offset = toFloat(p[1]);
        } else if (name == "bpms" || name == "stops") {
            for (const std::string& e : split(p[1], ',')) {
                const std::vector<std::string> kv = split(e, '=');
                if (kv.size() != 2 || toFloat(kv[1]) == 0)
                    continue;
                (name == "bpms" ? bpms : stops).push_back({toFloat(kv[0]), toFloat(kv[1])});
            }
        } else if (name == "notes") {
            if (p.size() < 7)
                continue;
            Chart c;
            c.type = trim(p[1]);
            const std::string description = trim(p[2]);
            c.difficulty = difficultyOf(trim(p[3]));
            if (c.difficulty == "Hard" &&
                (lower(description) == "smaniac" || lower(description) == "challenge"))
                c.difficulty = "Challenge";
            c.meter = meterOf(p[4]);
            readSmNotes(c, trim(p[6]));
            song.charts.push_back(c);
        }
    }
    // Tempos up to beat 0 set the starting tempo (the last one counts).
    std::stable_sort(bpms.begin(), bpms.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::map<int, float> rows;
    for (const auto& [beat, bpm] : bpms)
        rows[beat <= 0 ? 0 : beatToRow(beat)] = bpm;
    song.bpms = withoutRepeats(rows);
    for (const auto& [beat, seconds] : stops)
        song.stops[beatToRow(beat)] = seconds;
    return song;
}

std::string describe(const Song& song) {
    std::ostringstream o;
    o << "offset " << song.offset << "\nbpms";
    for (const auto& [row, bpm] : song.bpms)
        o << ' ' << row << '=' << bpm;
    o << "\nstops";
    for (const auto& [row, s] : song.stops)
        o << ' ' << row << '=' << s;
    for (const Chart& c : song.charts) {
        o << "\n" << c.type << ' ' << c.difficulty << ' ' << c.meter << " rows " << c.rows << ':';
        for (const Note& n : c.notes) {
            o << ' ' << n.column << '@' << n.row;
            if (n.holdLength)
                o << '+' << n.holdLength;
        }
    }
    return o.str();
}

} // namespace simread

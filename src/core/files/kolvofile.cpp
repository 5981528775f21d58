#include "core/files/kolvofile.h"

#include "core/files/regularfile.h"

#include "core/files/atomicwrite.h"
#include "core/files/filenumber.h"
#include "core/files/kolvoextended.h"
#include "core/files/textcodec.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"

#include <QFile>

#include <sys/mman.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace kolvo {

QString FileError::message() const {
    if (line > 0)
        return QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(reason);
    return QStringLiteral("%1: %2").arg(file, reason);
}

namespace {

// Files larger than this are certainly not work files (the largest song is
// about 8 MB); refusing them keeps a stray choice from exhausting memory.
constexpr qint64 kMaxFileSize = kMaxSongFileSize;

const QString kMagic = QStringLiteral("KOLVO-DEF");

// ------------------------------------------------------------ reading

enum class FieldKind { Empty, Bare, Quoted };

struct Field {
    FieldKind kind = FieldKind::Empty;
    const char* begin = nullptr; // the value without quotes or leading blanks
    const char* end = nullptr;
    int line = 1;
};

// Splits the bytes into fields: a comma or a line end ends a field, leading
// blanks are skipped, a field that starts with a double quote runs to the
// next double quote and anything after that quote up to the delimiter is
// ignored. The structural bytes are ASCII, so this works on UTF-8 and
// Windows-1252 alike; text is decoded only where a value is taken.
class FieldReader {
  public:
    enum class Status { Ok, End, OpenQuote };

    FieldReader(const char* data, std::size_t size) : m_p(data), m_end(data + size) {}

    Status next(Field& f) {
        if (m_p >= m_end)
            return Status::End;
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t'))
            ++m_p;
        f.line = m_line;
        m_lastLine = m_line;
        if (m_p < m_end && *m_p == '"') {
            const char* start = ++m_p;
            while (m_p < m_end && *m_p != '"') {
                countLineEnd();
                ++m_p;
            }
            if (m_p >= m_end)
                return Status::OpenQuote;
            f.kind = FieldKind::Quoted;
            f.begin = start;
            f.end = m_p++;
            skipToDelimiter();
            return Status::Ok;
        }
        const char* start = m_p;
        while (m_p < m_end && *m_p != ',' && *m_p != '\r' && *m_p != '\n')
            ++m_p;
        const char* stop = m_p;
        while (stop > start && (stop[-1] == ' ' || stop[-1] == '\t'))
            --stop;
        f.kind = stop > start ? FieldKind::Bare : FieldKind::Empty;
        f.begin = start;
        f.end = stop;
        consumeDelimiter();
        return Status::Ok;
    }

    // Only blanks and line ends remain.
    bool atEnd() const {
        for (const char* p = m_p; p < m_end; ++p)
            if (*p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
                return false;
        return true;
    }

    // The line on which the last field read starts.
    int lastLine() const { return m_lastLine; }

    // Where reading stands, for step records read straight from the bytes.
    const char* pos() const { return m_p; }
    const char* end() const { return m_end; }
    // Moves to `to`, past `lines` whole lines of step records.
    void skipLines(const char* to, int lines) {
        m_p = to;
        m_line += lines;
        m_lastLine = m_line - 1;
    }

  private:
    void countLineEnd() {
        // CR LF, a lone CR and a lone LF each end one line.
        if (*m_p == '\n' || (*m_p == '\r' && (m_p + 1 >= m_end || m_p[1] != '\n')))
            ++m_line;
    }
    void skipToDelimiter() {
        while (m_p < m_end && *m_p != ',' && *m_p != '\r' && *m_p != '\n')
            ++m_p;
        consumeDelimiter();
    }
    void consumeDelimiter() {
        if (m_p >= m_end)
            return;
        if (*m_p == ',') {
            ++m_p;
        } else if (*m_p == '\r') {
            ++m_p;
            if (m_p < m_end && *m_p == '\n')
                ++m_p;
            ++m_line;
        } else if (*m_p == '\n') {
            ++m_p;
            ++m_line;
        }
    }

    const char* m_p;
    const char* m_end;
    int m_line = 1;
    int m_lastLine = 1;
};

// One to three digits at `p`: their value, with `p` moved past them; -1
// (and `p` unmoved) when `p` holds no digit.
inline int smallNumber(const char*& p) {
    auto d = unsigned(p[0] - '0');
    if (d > 9)
        return -1;
    unsigned n = d;
    ++p;
    if ((d = unsigned(*p - '0')) <= 9) {
        n = n * 10 + d;
        ++p;
        if ((d = unsigned(*p - '0')) <= 9) {
            n = n * 10 + d;
            ++p;
        }
    }
    return int(n);
}

// What a file sets, kept aside until the whole file has read cleanly, so a
// refused file leaves the model exactly as it was. The charts start as the
// model's and the file's records are added on top (a later record of a cell
// replaces an earlier one, an empty value clears it); they are sorted once
// at the end and swapped into the model. The reader checks every index
// before it stores a cell. Without a model nothing is kept: the file is only
// checked.
class PendingSong {
  public:
    explicit PendingSong(SongModel* model) : m_model(model) {
        if (!m_model)
            return;
        for (int s = 1; s <= kStyles; ++s)
            for (int l = 1; l <= kLevels; ++l) {
                const ChartSlot slot = SongModel::slotOf(s, l);
                m_steps[std::size_t(slot)] = m_model->chart(slot).steps;
                m_tempo[std::size_t(slot)] = m_model->tempoCells(slot);
                m_offBeat[std::size_t(slot)] = m_model->chart(slot).offBeatTempo;
            }
    }
    PendingSong(const PendingSong&) = delete;
    PendingSong& operator=(const PendingSong&) = delete;

    void setField(SummaryField f, const QString& t) { m_fields[std::size_t(f)] = t; }
    void setMarkAsNew(int v) { m_markAsNew = v; }
    void setDataexists(int s, int l, const Value& v) { m_flags[ChartId{s, l}.index()] = v; }
    void setFootlevels(int s, int l, const Value& v) { m_levels[ChartId{s, l}.index()] = v; }
    void setStep(int s, int l, int b, int r, int p, std::uint8_t v) {
        if (m_model)
            m_steps[ChartId{s, l}.index()].append(
                Note{tickOfRow(b, r), std::uint8_t(p), NoteKind(v)});
    }
    // Rows 1..4 of the tempo channels are the bar's beats; the other rows
    // name none and are kept aside.
    void setTempo(int s, int l, int b, int r, int p, double v) {
        if (!m_model)
            return;
        if (r <= 4)
            m_tempo[ChartId{s, l}.index()].push_back(
                TempoCell{tickOf(b, (r - 1) * kFineRowsPerBeat), std::uint8_t(p), v});
        else
            m_offBeat[ChartId{s, l}.index()].push_back(
                TempoCell{tickOfRow(b, r), std::uint8_t(p), v});
    }
    void clearTempo(int s, int l, int b, int r, int p) { setTempo(s, l, b, r, p, std::nan("")); }

    // Puts everything read into the model.
    void apply() {
        if (!m_model)
            return;
        SongModel& m = *m_model;
        for (int s = 1; s <= kStyles; ++s)
            for (int l = 1; l <= kLevels; ++l) {
                const ChartSlot slot = SongModel::slotOf(s, l);
                ChartSteps& steps = m_steps[std::size_t(slot)];
                steps.finish();
                m.swapSteps(slot, steps);
                m.setTempoCells(slot, std::move(m_tempo[std::size_t(slot)]));
                m.setOffBeatTempoCells(slot, std::move(m_offBeat[std::size_t(slot)]));
            }
        for (int i = 0; i < kSummaryTextFields; ++i)
            if (m_fields[std::size_t(i)])
                m.setField(SummaryField(i), *m_fields[std::size_t(i)]);
        if (m_markAsNew)
            m.setMarkAsNew(*m_markAsNew);
        for (int s = 1; s <= kStyles; ++s)
            for (int l = 1; l <= kLevels; ++l) {
                if (const auto& v = m_levels[ChartId{s, l}.index()])
                    m.setFootlevels(s, l, *v);
                if (const auto& v = m_flags[ChartId{s, l}.index()])
                    m.setDataexists(s, l, *v);
            }
    }

  private:
    SongModel* m_model;
    std::array<ChartSteps, kChartSlots> m_steps;
    std::array<std::vector<TempoCell>, kChartSlots> m_tempo, m_offBeat;
    std::array<std::optional<QString>, kSummaryTextFields> m_fields;
    std::optional<int> m_markAsNew;
    std::array<std::optional<Value>, kChartSlots> m_levels, m_flags;
};

struct ReadFailure {
    int line;
    QString reason;
};

class KolvoReader {
  public:
    // `utf8`: whether the bytes are UTF-8, when the caller has checked.
    KolvoReader(QByteArrayView data, PendingSong& model, std::optional<bool> utf8)
        : m_fields(data.constData(), std::size_t(data.size())), m_model(model),
          m_utf8(utf8 ? *utf8 : isValidUtf8(data.constData(), std::size_t(data.size()))) {}

    std::optional<ReadFailure> run() {
        if (m_fields.atEnd())
            return ReadFailure{0, QStringLiteral("the file is empty")};
        Field first;
        if (!read(&first, 1, "at its start"))
            return failure();
        if (text(first).contains(kMagic))
            return readKeyed();
        return readLegacy(first);
    }

  private:
    std::optional<ReadFailure> failure() const { return m_failure; }

    // Reads `n` fields; false (with the failure set) when the file ends first.
    bool read(Field* out, int n, const char* where) {
        for (int i = 0; i < n; ++i) {
            auto st = m_fields.next(out[i]);
            if (st == FieldReader::Status::OpenQuote) {
                m_failure =
                    ReadFailure{out[i].line, QStringLiteral("the file ends inside a quoted text")};
                return false;
            }
            if (st == FieldReader::Status::End) {
                m_failure =
                    ReadFailure{m_fields.lastLine(),
                                QStringLiteral("the file ends %1").arg(QLatin1String(where))};
                return false;
            }
        }
        return true;
    }

    QString decode(const char* b, const char* e) const {
        auto n = std::size_t(e - b);
        return m_utf8 ? QString::fromUtf8(b, qsizetype(n)) : fromWindows1252(b, n);
    }
    QString text(const Field& f) const {
        return f.kind == FieldKind::Empty ? QString() : decode(f.begin, f.end);
    }
    // How a value is named in a message: text in quotes, a bare field as is.
    QString shown(const Field& f) const {
        switch (f.kind) {
        case FieldKind::Empty:
            return QStringLiteral("(empty)");
        case FieldKind::Quoted:
            return u'"' + text(f).left(40) + u'"';
        case FieldKind::Bare:
            break;
        }
        return text(f).left(40);
    }
    std::optional<double> number(const Field& f) const {
        if (f.kind == FieldKind::Empty)
            return std::nullopt;
        return fileFieldNumber(f.begin, f.end);
    }
    bool isWord(const Field& f, const char* word) const {
        if (f.kind == FieldKind::Empty)
            return *word == '\0';
        auto n = std::size_t(f.end - f.begin);
        return std::strlen(word) == n && std::memcmp(f.begin, word, n) == 0;
    }
    // A value as read: unassigned, a number, or text.
    Value value(const Field& f) const {
        if (f.kind == FieldKind::Empty)
            return Value();
        if (f.kind == FieldKind::Bare)
            if (auto v = fileFieldNumber(f.begin, f.end))
                return Value::number(*v);
        return Value::text(text(f));
    }

    bool fail(const Field& f, const QString& reason) {
        m_failure = ReadFailure{f.line, reason};
        return false;
    }

    // A whole-number index of a bare field in lo..hi.
    bool index(const Field& f, const char* what, int lo, int hi, int& out) {
        if (f.kind == FieldKind::Bare) {
            // Small whole numbers are by far the most common: parse them directly.
            const char* p = f.begin;
            if (f.end - p <= 3) {
                int v = 0;
                for (; p < f.end && *p >= '0' && *p <= '9'; ++p)
                    v = v * 10 + (*p - '0');
                if (p == f.end && v >= lo && v <= hi) {
                    out = v;
                    return true;
                }
            }
            auto v = number(f);
            if (v && *v >= lo && *v <= hi && std::trunc(*v) == *v) {
                out = int(*v);
                return true;
            }
        }
        return fail(f, QStringLiteral("%1 %2 is not a whole number from %3 to %4")
                           .arg(QLatin1String(what), shown(f))
                           .arg(lo)
                           .arg(hi));
    }

    bool chartIndices(const Field& sf, const Field& lf, int& s, int& l) {
        return index(sf, "style", 1, kStyles, s) && index(lf, "level", 1, kLevels, l);
    }

    bool setMarkAsNew(const Field& f) {
        // Never assigned (or the empty text) counts as 0.
        if (f.begin == f.end) {
            m_model.setMarkAsNew(0);
            return true;
        }
        auto v = fileFieldNumber(f.begin, f.end);
        if (!v || (*v != 0 && *v != 1 && *v != 2))
            return fail(f, QStringLiteral("check1 value %1 is not 0, 1 or 2").arg(shown(f)));
        m_model.setMarkAsNew(int(*v));
        return true;
    }

    bool setFlag(const Field& f, int s, int l) {
        Value v = value(f);
        bool ok =
            v.isUnassigned() || (v.isNumber() && (v.asNumber() == 0 || v.asNumber() == 1)) ||
            (v.isText() && (v.asText().isEmpty() || v.asText() == u"0" || v.asText() == u"1"));
        if (!ok)
            return fail(f, QStringLiteral("flag value %1 is not 0 or 1").arg(shown(f)));
        m_model.setDataexists(s, l, v);
        return true;
    }

    // One step record; a record of six zeros stands for nothing.
    bool storeStep(const Field* r) {
        if (r[0].end - r[0].begin == 1 && *r[0].begin == '0' && r[0].kind == FieldKind::Bare) {
            bool zeros = true;
            for (int i = 1; i < 6 && zeros; ++i)
                zeros = isWord(r[i], "0");
            if (zeros)
                return true;
        }
        int s, l, b, row, p;
        if (!chartIndices(r[0], r[1], s, l) || !index(r[2], "bar", 1, kBars, b) ||
            !index(r[3], "row", 1, kRows, row) || !index(r[4], "panel", 1, kPanels, p))
            return false;
        const Field& vf = r[5];
        // The empty text stands for an empty cell; numbers may also come quoted.
        std::optional<double> v;
        bool empty = vf.kind == FieldKind::Empty || vf.begin == vf.end;
        if (!empty)
            v = (vf.end - vf.begin == 1 && *vf.begin >= '0' && *vf.begin <= '9')
                    ? std::optional<double>(*vf.begin - '0') // the usual 1 or 2
                    : fileFieldNumber(vf.begin, vf.end);
        if (p <= kArrowPanels) {
            if (empty) {
                m_model.setStep(s, l, b, row, p, 0);
                return true;
            }
            if (!v || (*v != 0 && *v != 1 && *v != 2))
                return fail(vf, QStringLiteral("arrow value %1 is not 0, 1 or 2").arg(shown(vf)));
            m_model.setStep(s, l, b, row, p, std::uint8_t(*v));
            return true;
        }
        if (empty) {
            m_model.clearTempo(s, l, b, row, p);
            return true;
        }
        if (!v)
            return fail(vf, QStringLiteral("tempo value %1 is not a number").arg(shown(vf)));
        if (*v < 0)
            return fail(vf, QStringLiteral("tempo value %1 is negative").arg(shown(vf)));
        if (*v == 0)
            m_model.clearTempo(s, l, b, row, p);
        else
            m_model.setTempo(s, l, b, row, p, *v);
        return true;
    }

    // Step records as the writer puts them, read straight from the bytes:
    // six fields of one to three digits between commas, one record to a line
    // ending in LF or CR LF, every number in range. The records of one row
    // share their first four fields, so those are parsed once per row and
    // later records only compared with them. Reads as many as follow; false
    // when the next record is anything else, which next() and storeStep()
    // then read (every other form, and every refusal with its reason).
    bool readPlainRecords() {
        const char* p = m_fields.pos();
        const char* const end = m_fields.end();
        // The first four fields of the current row: their bytes, and a mask
        // of the bytes they take in a 16-byte load.
        std::uint64_t head[2] = {0, 0}, mask[2] = {0, 0};
        std::ptrdiff_t headLength = 0;
        int s = 0, l = 0, b = 0, r = 0;
        int lines = 0;
        // The widest record is 25 bytes; stop short of the end so that no
        // load below reads past it (the last records go through next()).
        while (end - p >= 32) {
            const char* q = p;
            std::uint64_t w[2];
            std::memcpy(w, p, 16);
            if (headLength == 0 || (((w[0] ^ head[0]) & mask[0]) | ((w[1] ^ head[1]) & mask[1]))) {
                s = smallNumber(q);
                if (s < 1 || s > kStyles || *q++ != ',')
                    break;
                l = smallNumber(q);
                if (l < 1 || l > kLevels || *q++ != ',')
                    break;
                b = smallNumber(q);
                if (b < 1 || b > kBars || *q++ != ',')
                    break;
                r = smallNumber(q);
                if (r < 1 || r > kRows || *q++ != ',')
                    break;
                headLength = q - p; // at most 16: "004,004,100,032,"
                unsigned char bytes[16] = {}, on[16] = {};
                std::memcpy(bytes, p, std::size_t(headLength));
                std::memset(on, 0xFF, std::size_t(headLength));
                std::memcpy(head, bytes, 16);
                std::memcpy(mask, on, 16);
                head[0] &= mask[0];
                head[1] &= mask[1];
            } else {
                q += headLength;
            }
            const int panel = smallNumber(q);
            if (panel < 1 || panel > kPanels || *q++ != ',')
                break;
            const int value = smallNumber(q);
            if (value < 0)
                break;
            if (*q == '\r')
                ++q;
            if (*q != '\n')
                break;
            if (panel <= kArrowPanels) {
                if (value > 2)
                    break;
                m_model.setStep(s, l, b, r, panel, std::uint8_t(value));
            } else if (value == 0) {
                m_model.clearTempo(s, l, b, r, panel);
            } else {
                m_model.setTempo(s, l, b, r, panel, value);
            }
            p = q + 1;
            ++lines;
        }
        if (lines == 0)
            return false;
        m_fields.skipLines(p, lines);
        return true;
    }

    std::optional<ReadFailure> readSteps() {
        Field r[6];
        if (m_fields.atEnd())
            return ReadFailure{m_fields.lastLine(),
                               QStringLiteral("the file ends before the first step record")};
        do {
            if (readPlainRecords())
                continue;
            if (!read(r, 6, "inside a step record") || !storeStep(r))
                return failure();
        } while (!m_fields.atEnd());
        return std::nullopt;
    }

    std::optional<ReadFailure> readKeyed() {
        Field f[4];
        // Header pairs, value first and key second, until the LEVELS line.
        for (;;) {
            if (!read(f, 2, "before the LEVELS line"))
                return failure();
            for (int i = 0; i < kSummaryTextFields; ++i)
                if (isWord(f[1], summaryFieldKey(SummaryField(i))))
                    m_model.setField(SummaryField(i), text(f[0]));
            if (isWord(f[1], "check1") && !setMarkAsNew(f[0]))
                return failure();
            if (isWord(f[0], "LEVELS"))
                break;
        }
        // Level records until the DATAEXISTS line.
        for (;;) {
            if (!read(f, 4, "before the DATAEXISTS line"))
                return failure();
            if (isWord(f[1], "level")) {
                int s, l;
                if (!chartIndices(f[2], f[3], s, l))
                    return failure();
                m_model.setFootlevels(s, l, value(f[0]));
            }
            if (isWord(f[0], "DATAEXISTS"))
                break;
        }
        // Flag records until the STEPS line.
        for (;;) {
            if (!read(f, 4, "before the STEPS line"))
                return failure();
            if (isWord(f[1], "dataexists")) {
                int s, l;
                if (!chartIndices(f[2], f[3], s, l) || !setFlag(f[0], s, l))
                    return failure();
            }
            if (isWord(f[0], "STEPS"))
                break;
        }
        return readSteps();
    }

    std::optional<ReadFailure> readLegacy(const Field& first) {
        m_model.setField(SummaryField::MusicFile, text(first));
        Field h[9];
        if (!read(h, 9, "inside the header"))
            return failure();
        const SummaryField order[] = {SummaryField::SongName, SummaryField::Artist,
                                      SummaryField::Genre, SummaryField::Bpm, SummaryField::Gap};
        for (int i = 0; i < 5; ++i)
            m_model.setField(order[i], text(h[i]));
        if (!setMarkAsNew(h[5]))
            return failure();
        m_model.setField(SummaryField::CdTitle, text(h[6]));
        m_model.setField(SummaryField::SampleStart, text(h[7]));
        m_model.setField(SummaryField::SampleLength, text(h[8]));
        Field v[16];
        if (!read(v, 16, "inside the foot levels"))
            return failure();
        for (int i = 0; i < 16; ++i)
            m_model.setFootlevels(i / 4 + 1, i % 4 + 1, value(v[i]));
        if (!read(v, 16, "inside the chart flags"))
            return failure();
        for (int i = 0; i < 16; ++i)
            if (!setFlag(v[i], i / 4 + 1, i % 4 + 1))
                return failure();
        return readSteps();
    }

    FieldReader m_fields;
    PendingSong& m_model;
    bool m_utf8;
    std::optional<ReadFailure> m_failure;
};

// ------------------------------------------------------------ writing

void appendQuoted(QByteArray& out, const QString& text) {
    out.append('"');
    out.append(text.toUtf8());
    out.append('"');
}

void appendValue(QByteArray& out, const Value& v) {
    if (v.isNumber())
        appendFileNumber(out, v.asNumber());
    else if (v.isText())
        appendQuoted(out, v.asText());
}

// Writes a small non-negative whole number; returns the new end.
char* putInt(char* p, int v) {
    if (v >= 100) {
        *p++ = char('0' + v / 100);
        v %= 100;
        *p++ = char('0' + v / 10);
        *p++ = char('0' + v % 10);
    } else if (v >= 10) {
        *p++ = char('0' + v / 10);
        *p++ = char('0' + v % 10);
    } else {
        *p++ = char('0' + v);
    }
    return p;
}

// The header pairs in file order, around the check1 pair.
const SummaryField kHeaderBeforeCheck[] = {SummaryField::MusicFile, SummaryField::SongName,
                                           SummaryField::Artist,    SummaryField::Genre,
                                           SummaryField::Bpm,       SummaryField::Gap};
const SummaryField kHeaderAfterCheck[] = {SummaryField::CdTitle, SummaryField::SampleStart,
                                          SummaryField::SampleLength, SummaryField::FileTag};

std::optional<QString> textProblem(const QString& text, const QString& what) {
    if (!text.isValidUtf16())
        return QStringLiteral("%1 holds a broken character, which a work file cannot store")
            .arg(what);
    return std::nullopt;
}

// A buffer for a whole file. A large one asks for huge pages: the bytes then
// land in a few pages rather than costing a page fault every 4 KiB, which
// otherwise takes longer than reading them.
class FileBuffer {
  public:
    explicit FileBuffer(std::size_t capacity) { allocate(capacity); }
    ~FileBuffer() { std::free(m_data); }
    FileBuffer(const FileBuffer&) = delete;
    FileBuffer& operator=(const FileBuffer&) = delete;

    char* data() { return m_data; }
    std::size_t capacity() const { return m_capacity; }
    // More room, keeping the bytes.
    void grow(std::size_t capacity) {
        char* old = m_data;
        const std::size_t oldCapacity = m_capacity;
        allocate(capacity);
        std::memcpy(m_data, old, oldCapacity);
        std::free(old);
    }

  private:
    void allocate(std::size_t capacity) {
        constexpr std::size_t kHugePage = 2 * 1024 * 1024;
        m_capacity = capacity;
        if (capacity < kHugePage / 2) {
            m_data = static_cast<char*>(std::malloc(capacity));
        } else {
            m_capacity = (capacity + kHugePage - 1) / kHugePage * kHugePage;
            m_data = static_cast<char*>(std::aligned_alloc(kHugePage, m_capacity));
#ifdef MADV_HUGEPAGE
            if (m_data)
                madvise(m_data, m_capacity, MADV_HUGEPAGE); // a hint: no huge pages is fine
#endif
        }
        if (!m_data)
            throw std::bad_alloc();
    }

    char* m_data = nullptr;
    std::size_t m_capacity = 0;
};

// Reads into the model, or only checks the bytes when there is none.
std::optional<FileError> readKolvoBytes(QByteArrayView data, const QString& name, SongModel* model,
                                        std::optional<bool> utf8 = {}) {
    if (data.size() > kMaxFileSize)
        return FileError{name, 0, QStringLiteral("the file is too large to be a work file")};
    if (isExtendedKolvo(data)) {
        if (auto fail = readExtendedKolvo(data, model))
            return FileError{name, fail->line, fail->reason};
        return std::nullopt;
    }
    PendingSong pending(model);
    // Editors on Windows may start a UTF-8 file with a byte-order mark.
    const bool bom = data.startsWith("\xEF\xBB\xBF");
    KolvoReader reader(bom ? data.sliced(3) : data, pending, utf8);
    if (auto fail = reader.run())
        return FileError{name, fail->line, fail->reason};
    pending.apply();
    return std::nullopt;
}

} // namespace

// ------------------------------------------------------------ public

std::optional<FileError> readKolvoData(const QByteArray& data, const QString& name,
                                       SongModel& model) {
    return readKolvoBytes(data, name, &model);
}

std::optional<FileError> checkKolvoData(const QByteArray& data, const QString& name) {
    return readKolvoBytes(data, name, nullptr);
}

namespace {

// Reads the file into the model, or only checks it when there is none. The
// file is read a piece at a time, each checked for UTF-8 while it is still
// in the processor's cache.
std::optional<FileError> readKolvoPath(const QString& path, SongModel* model) {
    if (auto why = notARegularFile(path))
        return FileError{path, 0, *why};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileError{path, 0, QStringLiteral("cannot be opened: %1").arg(file.errorString())};
    if (file.size() > kMaxFileSize)
        return FileError{path, 0, QStringLiteral("the file is too large to be a work file")};
    // Room for one byte more than the file holds, to see that it has ended;
    // a file that grows while it is read gets more room.
    FileBuffer data(std::size_t(file.size()) + 1);
    std::size_t filled = 0;
    std::size_t checked = 0; // bytes checked for UTF-8
    bool utf8 = true;
    for (;;) {
        if (filled == data.capacity()) {
            if (filled > std::size_t(kMaxFileSize))
                return FileError{path, 0,
                                 QStringLiteral("the file is too large to be a work file")};
            data.grow(filled * 2);
        }
        const std::size_t room = std::min(data.capacity() - filled, kKolvoReadPiece);
        const qint64 got = file.read(data.data() + filled, qint64(room));
        if (got < 0 || file.error() != QFileDevice::NoError)
            return FileError{path, 0, QStringLiteral("cannot be read: %1").arg(file.errorString())};
        if (got == 0)
            break;
        filled += std::size_t(got);
        if (utf8) {
            const std::size_t end = std::max(checked, utf8WholeSequencesEnd(data.data(), filled));
            utf8 = isValidUtf8(data.data() + checked, end - checked);
            checked = end;
        }
    }
    if (utf8)
        utf8 = isValidUtf8(data.data() + checked, filled - checked);
    return readKolvoBytes(QByteArrayView(data.data(), qsizetype(filled)), path, model, utf8);
}

} // namespace

std::optional<FileError> readKolvoFile(const QString& path, SongModel& model) {
    return readKolvoPath(path, &model);
}

std::optional<FileError> checkKolvoFile(const QString& path) {
    return readKolvoPath(path, nullptr);
}

std::optional<QString> unwritableKolvoField(const SongModel& model) {
    auto header = [&](SummaryField f) -> std::optional<QString> {
        // Named as the summary window shows the field.
        const QString what = QStringLiteral("the field \"%1\"").arg(summaryFieldLabel(f));
        return textProblem(model.field(f), what);
    };
    for (SummaryField k : kHeaderBeforeCheck)
        if (auto p = header(k))
            return p;
    for (SummaryField k : kHeaderAfterCheck)
        if (auto p = header(k))
            return p;
    if (model.markAsNew() < 0 || model.markAsNew() > 2)
        return QStringLiteral("check1 value %1 is not 0, 1 or 2").arg(model.markAsNew());
    for (ChartSlot slot = 0; slot < model.chartSlots(); ++slot) {
        if (!model.usedSlot(slot))
            continue;
        const Chart& c = model.chart(slot);
        const QString name = c.name();
        const Value& fl = c.footlevels;
        if (fl.isText()) {
            if (auto p = textProblem(fl.asText(), QStringLiteral("the foot level of %1").arg(name)))
                return p;
        } else if (fl.isNumber() && !std::isfinite(fl.asNumber())) {
            return QStringLiteral("the foot level of %1 is not a number").arg(name);
        }
        if (auto p = textProblem(c.description, QStringLiteral("the name of %1").arg(name)))
            return p;
        const Value& de = c.dataexists;
        bool flagOk =
            de.isUnassigned() || (de.isNumber() && (de.asNumber() == 0 || de.asNumber() == 1)) ||
            (de.isText() && (de.asText().isEmpty() || de.asText() == u"0" || de.asText() == u"1"));
        if (!flagOk)
            return QStringLiteral("the data flag of %1 is %2, not 0 or 1").arg(name, de.toText());
        for (const TempoCell& t : c.tempo) {
            if (t.value < 0 || !std::isfinite(t.value))
                return QStringLiteral("the %1 at bar %2 beat %3 is %4, not a number of 0 or more")
                    .arg(t.channel == BPMCHANNEL ? QStringLiteral("BPM change")
                                                 : QStringLiteral("freeze"))
                    .arg(barOfTick(t.tick))
                    .arg(fineRowOfTick(t.tick) / kFineRowsPerBeat + 1)
                    .arg(canonicalNumberText(t.value));
        }
    }
    return std::nullopt;
}

namespace {

// Whether the original keyed layout carries the song exactly: older copies
// of the program read it. A header text reading LEVELS or a foot level
// reading DATAEXISTS would end their section early there.
bool fitsOriginalLayout(const SongModel& model) {
    if (!model.withinOldLimits())
        return false;
    for (int i = 0; i < kSummaryTextFields; ++i)
        if (model.field(SummaryField(i)) == u"LEVELS")
            return false;
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            const Value& fl = model.footlevels(s, l);
            if (fl.isText() && fl.asText() == u"DATAEXISTS")
                return false;
        }
    return true;
}

QByteArray originalLayoutText(const SongModel& model, const std::function<void(int)>& progress) {
    QByteArray out;
    out.reserve(4096);
    out.append("\"KOLVO-DEF\"\r\n");
    auto pair = [&](const QString& value, const char* key) {
        appendQuoted(out, value);
        out.append(",\"").append(key).append("\"\r\n");
    };
    for (SummaryField k : kHeaderBeforeCheck)
        pair(model.field(k), summaryFieldKey(k));
    out.append(QByteArray::number(model.markAsNew())).append(",\"check1\"\r\n");
    for (SummaryField k : kHeaderAfterCheck)
        pair(model.field(k), summaryFieldKey(k));
    out.append("\"LEVELS\",\"\"\r\n");
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            appendValue(out, model.footlevels(s, l));
            out.append(",\"level\",").append(char('0' + s)).append(',').append(char('0' + l));
            out.append("\r\n");
        }
    out.append("\"DATAEXISTS\",\"\",\"\",\"\"\r\n");
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            appendValue(out, model.dataexists(s, l));
            out.append(",\"dataexists\",").append(char('0' + s)).append(',').append(char('0' + l));
            out.append("\r\n");
        }
    out.append("\"STEPS\",\"\",\"\",\"\"\r\n");

    // Records row by row (bar, then the 32nd row; the tempo channels' rows
    // 1..4 are the beats): a row's arrows by panel, then its tempo cells.
    struct Record {
        int bar, row, panel;
        double value;
    };
    std::vector<Record> records;
    int chartsDone = 0;
    for (int s = 1; s <= kStyles; ++s)
        for (int l = 1; l <= kLevels; ++l) {
            const Chart& chart = model.chart(SongModel::slotOf(s, l));
            records.clear();
            for (const Note& n : chart.steps.notes())
                records.push_back({barOfTick(n.tick), fineRowOfTick(n.tick) / kFinePerRow + 1,
                                   n.panel, double(n.kind)});
            for (const TempoCell& t : chart.tempo)
                if (SongModel::tempoEvent(t.value))
                    records.push_back({barOfTick(t.tick),
                                       fineRowOfTick(t.tick) / kFineRowsPerBeat + 1, t.channel,
                                       t.value});
            for (const TempoCell& t : chart.offBeatTempo)
                if (SongModel::tempoEvent(t.value))
                    records.push_back({barOfTick(t.tick), fineRowOfTick(t.tick) / kFinePerRow + 1,
                                       t.channel, t.value});
            std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) {
                return a.bar != b.bar   ? a.bar < b.bar
                       : a.row != b.row ? a.row < b.row
                                        : a.panel < b.panel;
            });
            constexpr qsizetype kRecordRoom = 24; // "4,4,100,32,10,2" CR LF and more
            for (const Record& r : records) {
                const qsizetype used = out.size();
                if (out.capacity() < used + kRecordRoom)
                    out.reserve(std::max(out.capacity() * 2, used + kRecordRoom));
                out.resize(used + kRecordRoom);
                char* const start = out.data() + used;
                char* w = start;
                w = putInt(w, s);
                *w++ = ',';
                w = putInt(w, l);
                *w++ = ',';
                w = putInt(w, r.bar);
                *w++ = ',';
                w = putInt(w, r.row);
                *w++ = ',';
                w = putInt(w, r.panel);
                *w++ = ',';
                if (r.panel <= kArrowPanels) {
                    w = putInt(w, int(r.value));
                    *w++ = '\r';
                    *w++ = '\n';
                    out.resize(used + (w - start));
                } else {
                    out.resize(used + (w - start));
                    appendFileNumber(out, r.value);
                    out.append("\r\n");
                }
            }
            ++chartsDone;
            if (progress)
                progress(chartsDone);
        }
    out.append("0,0,0,0,0,0\r\n");
    return out;
}

} // namespace

QByteArray kolvoFileText(const SongModel& model, const std::function<void(int)>& progress) {
    if (fitsOriginalLayout(model))
        return originalLayoutText(model, progress);
    QByteArray out = extendedKolvoText(model);
    if (progress)
        for (int i = 1; i <= kStyles * kLevels; ++i)
            progress(i);
    return out;
}

std::optional<FileError> writeKolvoFile(const QString& path, const SongModel& model,
                                        const std::function<void(int)>& progress) {
    if (auto problem = unwritableKolvoField(model))
        return FileError{path, 0, *problem};
    QByteArray text = kolvoFileText(model, progress);
    if (auto why = writeFileAtomically(path, text))
        return FileError{path, 0, *why};
    return std::nullopt;
}

} // namespace kolvo

#include "core/import/msdtags.h"

namespace kolvo {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Line numbers of positions met in increasing order.
class LineCounter {
  public:
    explicit LineCounter(const char* data) : m_data(data) {}
    int at(int pos) {
        for (; m_pos < pos; ++m_pos)
            if (m_data[m_pos] == '\n')
                ++m_line;
        return m_line;
    }

  private:
    const char* m_data;
    int m_pos = 0;
    int m_line = 1;
};

} // namespace

MsdTags splitMsdTags(const QByteArray& bytes, bool unescape) {
    MsdTags out;
    const char* buf = bytes.constData();
    const int len = int(bytes.size());
    out.text.reserve(len);
    QByteArray& text = out.text;
    LineCounter lines(buf);

    bool reading = false;
    int paramBegin = -1; // start of the parameter being read in `text`; -1 before the first
    int paramLine = 1;
    auto addParam = [&] {
        MsdTag& tag = out.tags.back();
        if (tag.params.size() < MsdTag::kKept)
            tag.params.push_back({paramBegin, int(text.size()), paramLine});
        ++tag.count;
    };
    auto startParam = [&](int at) {
        paramBegin = int(text.size());
        paramLine = lines.at(at);
    };

    int i = 0;
    while (i < len) {
        if (i + 1 < len && buf[i] == '/' && buf[i + 1] == '/') {
            do {
                ++i;
            } while (i < len && buf[i] != '\n');
            continue;
        }

        if (reading && buf[i] == '#') {
            // A "#" ends an open tag only when it is the first thing on its line.
            int j = int(text.size());
            bool first = true;
            while (j > paramBegin && text[j - 1] != '\r' && text[j - 1] != '\n') {
                if (isBlank(text[j - 1])) {
                    --j;
                    continue;
                }
                first = false;
                break;
            }
            if (!first) {
                text.append(buf[i++]);
                continue;
            }
            text.truncate(j);
            while (int(text.size()) > paramBegin && isSpace(text.back()))
                text.chop(1);
            addParam();
            out.tags.back().terminated = true;
            startParam(i);
            reading = false;
        }

        if (!reading && buf[i] == '#') {
            if (out.tags.size() >= MsdTags::kMaxTags) {
                out.tooManyTags = true;
                return out;
            }
            out.tags.emplace_back();
            out.tags.back().line = lines.at(i);
            reading = true;
        }

        if (!reading) {
            i += (unescape && buf[i] == '\\') ? 2 : 1;
            continue;
        }

        if (paramBegin != -1 && (buf[i] == ':' || buf[i] == ';'))
            addParam();

        if (buf[i] == '#' || buf[i] == ':') {
            ++i;
            startParam(i);
            continue;
        }

        if (buf[i] == ';') {
            out.tags.back().terminated = true;
            reading = false;
            ++i;
            continue;
        }

        if (unescape && buf[i] == '\\')
            ++i;
        if (i < len)
            text.append(buf[i++]);
    }

    if (reading)
        addParam(); // a tag the file ends inside: kept, but not terminated
    return out;
}

} // namespace kolvo

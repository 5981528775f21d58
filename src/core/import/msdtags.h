#pragma once

#include <QByteArray>

#include <vector>

namespace kolvo {

// One "#NAME:param:param...;" of a step file, split the way the simulators
// split it. Parameter 0 is the name. Parameters are byte ranges of the
// processed text (comments taken out, escapes resolved).
struct MsdTag {
    struct Param {
        int begin = 0; // into MsdTags::text
        int end = 0;
        int line = 1; // 1-based line of the file where the parameter starts
    };
    // The first parameters (no reader needs more; a file of colons must not
    // cost memory per colon) and how many the tag has in all.
    static constexpr std::size_t kKept = 12;
    std::vector<Param> params;
    std::size_t count = 0;
    int line = 1;            // line of the "#"
    bool terminated = false; // closed by ";" (or by a "#" that starts a line)
};

struct MsdTags {
    // No step file has this many tags; splitting stops there.
    static constexpr std::size_t kMaxTags = 200000;

    QByteArray text; // the processed bytes the parameters point into
    std::vector<MsdTag> tags;
    bool tooManyTags = false;

    QByteArray param(const MsdTag& tag, std::size_t i) const {
        if (i >= tag.params.size())
            return QByteArray();
        const MsdTag::Param& p = tag.params[i];
        return text.mid(p.begin, p.end - p.begin);
    }
    int paramLine(const MsdTag& tag, std::size_t i) const {
        return i < tag.params.size() ? tag.params[i].line : tag.line;
    }
};

// Splits a file into tags: "#" starts a tag, ":" and ";" end a parameter,
// ";" ends the tag, "//" starts a comment up to the line end (anywhere, even
// inside a value). A "#" that is the first thing on its line ends a tag left
// open, as files often miss their ";". With `unescape`, a backslash makes the
// next character plain text (SM and SSC files; DWI files have no escapes).
MsdTags splitMsdTags(const QByteArray& bytes, bool unescape);

} // namespace kolvo

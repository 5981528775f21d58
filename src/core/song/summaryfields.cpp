#include "core/song/summaryfields.h"

namespace kolvo {

namespace {
using F = SummaryField;
// clang-format off
constexpr std::array<SummaryFieldInfo, kSummaryTextFields> kFields = {{
    // field          key             control         caption                 undo name        reset  kept   number
    {F::MusicFile,    "musicadd",     "musicadd",     "Location of MP3 file", "Music File",    "",    false, false},
    {F::SongName,     "songname",     "songname",     "Name of song",         "Song Name",     "",    false, false},
    {F::Artist,       "artist",       "artist",       "Name of artist",       "Artist",        "",    false, false},
    {F::Genre,        "genre",        "genre",        "Genre",                "Genre",         "",    false, false},
    {F::Bpm,          "bpm",          "bpm",          "BPM",                  "BPM",           "120", false, true},
    {F::Gap,          "gap",          "gap",          "Gap",                  "Gap",           "0",   false, true},
    {F::SampleStart,  "samplestart",  "samplestart",  "Start sample at",      "Sample Start",  "",    false, true},
    {F::SampleLength, "samplelength", "samplelength", "Play sample for",      "Sample Length", "",    false, true},
    {F::CdTitle,      "text1",        "Text1",        "Location of CD pic",   "CD Picture",    "",    false, false},
    {F::FileTag,      "filetag",      "filetag",      "#FILE tag",            "#FILE Tag",     "",    true,  false},
}};
// clang-format on

constexpr bool inEnumOrder() {
    for (int i = 0; i < kSummaryTextFields; ++i)
        if (int(kFields[std::size_t(i)].field) != i)
            return false;
    return true;
}
static_assert(inEnumOrder(), "the summary field table lists the fields in their enum order");
} // namespace

const std::array<SummaryFieldInfo, kSummaryTextFields>& summaryFields() {
    return kFields;
}

const SummaryFieldInfo& summaryFieldInfo(SummaryField f) {
    return kFields[std::size_t(f)];
}

const char* summaryFieldKey(SummaryField f) {
    const int i = int(f);
    return i >= 0 && i < kSummaryTextFields ? kFields[std::size_t(i)].key : "";
}

QString summaryFieldLabel(SummaryField f) {
    const int i = int(f);
    return i >= 0 && i < kSummaryTextFields ? QString::fromLatin1(kFields[std::size_t(i)].caption)
                                            : QString();
}

} // namespace kolvo

#include "core/sm/smtagcheck.h"

#include "core/song/songmodel.h"

namespace kolvo {

namespace {

struct LabelledField {
    SummaryField field;
    const char* label;
};

// The text fields a step file writes as typed, labelled as in the summary window.
constexpr LabelledField kHeaderFields[] = {
    {SummaryField::Songname, "Name of song"}, {SummaryField::Artist, "Name of artist"},
    {SummaryField::Genre, "Genre"},           {SummaryField::Text1, "Location of CD pic"},
    {SummaryField::Filetag, "#FILE tag"},
};

} // namespace

QStringList smTagSplitters() {
    return {QStringLiteral(":"), QStringLiteral(";"), QStringLiteral("//"), QStringLiteral("\\")};
}

std::vector<TagSplitFinding> findTagSplits(const SongModel& model, const QStringList& splitters) {
    std::vector<TagSplitFinding> found;
    for (const LabelledField& f : kHeaderFields) {
        const QString& text = model.field(f.field);
        for (const QString& s : splitters)
            if (text.contains(s)) {
                found.push_back({QString::fromLatin1(f.label), s});
                break;
            }
    }
    return found;
}

QString smTagSplitWarning(const std::vector<TagSplitFinding>& findings) {
    QString text = QStringLiteral(
        "These values hold a character that StepMania files use to split or end a tag, so "
        "the simulators will read them cut short or lose what follows:\n");
    for (const TagSplitFinding& f : findings)
        text += QStringLiteral("\n%1: \"%2\"").arg(f.field, f.splitter);
    return text;
}

} // namespace kolvo

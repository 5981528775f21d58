#include "core/formats/tagtext.h"

namespace kolvo {

QList<TagTextProblem> tagTextProblems(const SongModel& model, const QList<SummaryField>& fields,
                                      const QStringList& splitters) {
    QList<TagTextProblem> problems;
    for (SummaryField f : fields) {
        const QString& text = model.field(f);
        qsizetype first = -1;
        QString found;
        for (const QString& s : splitters) {
            const qsizetype at = text.indexOf(s);
            if (at >= 0 && (first < 0 || at < first)) {
                first = at;
                found = s;
            }
        }
        if (first >= 0)
            problems.append({f, found});
    }
    return problems;
}

const QStringList& dwiTagSplitters() {
    static const QStringList splitters = {QStringLiteral(":"), QStringLiteral(";"),
                                          QStringLiteral("//")};
    return splitters;
}

const QStringList& smTagSplitters() {
    static const QStringList splitters = {QStringLiteral(":"), QStringLiteral(";"),
                                          QStringLiteral("//"), QStringLiteral("\\")};
    return splitters;
}

const QList<SummaryField>& dwiTagFields() {
    static const QList<SummaryField> fields = {SummaryField::FileTag, SummaryField::SongName,
                                               SummaryField::Artist, SummaryField::CdTitle,
                                               SummaryField::Genre};
    return fields;
}

QList<TagTextProblem> dwiTagTextProblems(const SongModel& model) {
    return tagTextProblems(model, dwiTagFields(), dwiTagSplitters());
}

QList<TagTextProblem> smTagTextProblems(const SongModel& model) {
    return tagTextProblems(model, dwiTagFields(), smTagSplitters());
}

QString tagTextWarning(const QList<TagTextProblem>& problems, const QString& format) {
    QString text = QStringLiteral("The simulators will not read these fields as typed, because "
                                  "they hold characters that end or split a %1 tag:")
                       .arg(format);
    for (const TagTextProblem& p : problems)
        text += QStringLiteral("\n\"%1\" holds \"%2\"").arg(summaryFieldLabel(p.field), p.splitter);
    return text;
}

} // namespace kolvo

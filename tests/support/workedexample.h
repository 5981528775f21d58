#pragma once

#include "core/song/songmodel.h"

#include <QString>

namespace kolvo::test {

// The song of the worked example the export golden files hold.
inline void fillWorkedExample(SongModel& m) {
    m.setField(SummaryField::FileTag, QString());
    m.resetparameters();
    m.setField(SummaryField::SongName, QStringLiteral("Demo"));
    m.setField(SummaryField::Artist, QStringLiteral("Someone"));
    m.setField(SummaryField::Gap, QStringLiteral("250"));
    m.setField(SummaryField::Bpm, QStringLiteral("140"));
    m.setMarkAsNew(1);
    m.setTempo(Single, Basic, 5, 1, BPMCHANNEL, 70);
    m.setDataexists(Single, Basic, Value::number(1));
    m.setFootlevels(Single, Basic, Value::text(QStringLiteral("3")));
    m.setStep(Single, Basic, 1, 1, PanelLeft, 1);
    m.setStep(Single, Basic, 1, 9, PanelLeft, 1);
    m.setStep(Single, Basic, 1, 9, PanelRight, 1);
}

} // namespace kolvo::test

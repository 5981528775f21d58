#pragma once

#include "core/song/chartsteps.h"

#include <QColor>

namespace kolvo {

// How the grid and the wide view fill a note of each kind: arrows blue and
// freeze starts green as always, the kinds step files add in colours of
// their own so each is told apart at a glance.
inline QColor noteKindColour(NoteKind kind) {
    switch (kind) {
    case NoteKind::Arrow:
        return QColor(128, 128, 255);
    case NoteKind::FreezeStart:
        return QColor(128, 255, 128);
    case NoteKind::RollStart:
        return QColor(255, 176, 64);
    case NoteKind::Mine:
        return QColor(96, 96, 96);
    case NoteKind::Lift:
        return QColor(255, 128, 255);
    case NoteKind::Fake:
        return QColor(200, 200, 200);
    case NoteKind::None:
        break;
    }
    return {};
}

} // namespace kolvo

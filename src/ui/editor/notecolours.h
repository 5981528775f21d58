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

// The colour of a snap (rows per bar) as charters know it: a note is filled
// with the colour of the coarsest snap its row lies on where that is not the
// snap the grid shows.
inline QColor snapColour(int snap) {
    switch (snap) {
    case 4:
        return QColor(224, 32, 32); // red
    case 8:
        return QColor(48, 96, 255); // blue
    case 12:
        return QColor(160, 48, 224); // purple
    case 16:
        return QColor(240, 216, 0); // yellow
    case 24:
        return QColor(255, 128, 192); // pink
    case 32:
        return QColor(255, 144, 0); // orange
    case 48:
        return QColor(0, 208, 224); // cyan
    case 64:
        return QColor(0, 176, 64); // green
    default:
        return QColor(144, 144, 144); // grey: 192nds
    }
}

} // namespace kolvo

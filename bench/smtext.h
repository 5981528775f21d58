#pragma once

// The note text of a made .sm chart the benches share: `bars` measures of
// `lines` lines over `columns` panels, an arrow on a cycling panel in every
// line, a freeze every 8th line (ended by the next arrow elsewhere).
#include <QByteArray>

inline QByteArray benchSmMeasures(int columns, int bars, int lines) {
    QByteArray out;
    int open = -1;
    for (int b = 0; b < bars; ++b) {
        for (int l = 0; l < lines; ++l) {
            QByteArray line(columns, '0');
            const int c = (b + l) % columns;
            if (open >= 0 && open != c) {
                line[open] = '3';
                open = -1;
            }
            if (l % 8 == 0 && open < 0) {
                line[c] = '2';
                open = c;
            } else if (line[c] == '0') {
                line[c] = '1';
            }
            out += line + '\n';
        }
        out += b + 1 < bars ? ",\n" : ";\n";
    }
    return out;
}

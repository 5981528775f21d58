#pragma once

#include "core/song/chartsteps.h"

#include <QObject>

class QComboBox;
class QWidget;

namespace kolvo {

class StepGrid;

// The step editor's snap (rows per bar the grid shows) and the kind of note
// the left button writes: two boxes in the strip under the grid, right of
// `beside`. `,` and `.` step the snap coarser and finer; A, F, R, M, L and K
// choose the kind; Delete (or Backspace) removes a selected note.
class NoteTools : public QObject {
    Q_OBJECT
  public:
    NoteTools(QWidget* editor, StepGrid* grid, QWidget* beside);

    QComboBox* snapBox() const { return m_snapBox; }
    QComboBox* kindBox() const { return m_kindBox; }
    void setSnap(int snap);
    void stepSnap(int direction);
    void setNoteKind(NoteKind kind);

  private:
    StepGrid* m_grid;
    QComboBox* m_snapBox;
    QComboBox* m_kindBox;
};

} // namespace kolvo

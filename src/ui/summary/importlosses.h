#pragma once

#include "core/import/stepimport.h"

#include <QDialog>

class QPlainTextEdit;

namespace kolvo {

// What an imported file held that the song cannot: each loss with its
// place, grouped by kind and counted. The user reads it, may copy the list
// (one loss a line) and closes it; the song is shown afterwards.
class ImportLosses : public QDialog {
    Q_OBJECT
  public:
    ImportLosses(const QString& path, const QList<ImportLoss>& losses, QWidget* parent = nullptr);

    // The list as copied: one loss a line.
    const QString& copyText() const { return m_copyText; }
    void copyList();

  private:
    QString m_copyText;
};

} // namespace kolvo

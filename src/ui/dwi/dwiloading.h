#pragma once

#include <QDialog>

namespace kolvo {

// "Now loading DWI...": stays open while the simulator runs; closing it (by
// its button or otherwise) deletes the temporary DWI file, keeping the folder.
class DWILoading : public QDialog {
    Q_OBJECT
  public:
    explicit DWILoading(const QString& simulatorpath, QWidget* parent = nullptr);
    ~DWILoading() override;

  protected:
    void done(int result) override;

  private:
    void removeTestFile();

    QString m_simulatorpath;
    bool m_cleaned = false;
};

} // namespace kolvo

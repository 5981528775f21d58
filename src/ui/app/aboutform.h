#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QPushButton;

namespace kolvo {

struct AppContext;
class ProgramPicture;

// The about box: title, version, disclaimer, credits, and a way to the
// desktop's system information program.
class AboutForm : public QWidget {
    Q_OBJECT
  public:
    explicit AboutForm(AppContext& ctx, QWidget* parent = nullptr);

    // The application title shown in the caption and titleLabel.
    static QString applicationTitle();
    // System information programs looked for on PATH, in this order.
    static QStringList systemInfoPrograms();

    // Starts the first system information program found on PATH, or says
    // that none is available.
    void StartSysInfo();

    ProgramPicture* picIcon = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* disclaimerLabel = nullptr;
    QLabel* creditsLabel = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;

  private:
    AppContext& m_ctx;
};

} // namespace kolvo

#pragma once

#include "ui/app/updateactions.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace kolvo {

struct AppContext;
class VersionFetcher;

// "Kolvo Update Centre": asks whether to look for a newer release now and
// whether to do so at every start. Showing it decides the start-up setting.
// The window set aside (the splash during start-up, the main window later)
// is disabled while it is open; during start-up, closing it lets the
// sequence go on to the main window.
class CheckForUpdates : public QWidget {
    Q_OBJECT
  public:
    CheckForUpdates(AppContext& ctx, QWidget* setAside, QWidget* parent = nullptr);
    ~CheckForUpdates() override;

    VersionFetcher& fetcher() { return *m_fetcher; }
    // What "end the program" does after the user takes the new version.
    void setEndProgram(EndProgramFn fn) { m_endProgram = std::move(fn); }

    QCheckBox* checkAtStartBox = nullptr;
    QPushButton* checkNowButton = nullptr;   // Check for updates now
    QPushButton* doNotCheckButton = nullptr; // Do not check
    QLabel* statusLabel = nullptr;           // status

  private:
    void storeChoice();
    void checkNow();
    void onFetched(bool ok, const QByteArray& content);

    AppContext& m_ctx;
    QPointer<QWidget> m_setAside;
    VersionFetcher* m_fetcher = nullptr;
    EndProgramFn m_endProgram = &endProgram;
};

} // namespace kolvo

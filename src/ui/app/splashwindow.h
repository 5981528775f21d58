#pragma once

#include "ui/app/updateactions.h"

#include <QWidget>

#include <functional>

class QLabel;
class QTimer;

namespace kolvo {

struct AppContext;
class VersionFetcher;

// The splash window and the start-up sequence. Showing it starts the
// sequence: it makes sure the simulator and player folders are known
// (asking in the folder dialogs), creates the auto-display flags, runs or
// offers the update check, then calls `openMainMenu` and closes itself.
// Steps advance through `AppContext::goahead` (0 -> 1 -> 2 -> 3), which the
// timers poll, so an open dialog simply holds the sequence.
// Create it with new: it deletes itself when it closes.
class SplashWindow : public QWidget {
    Q_OBJECT
  public:
    SplashWindow(AppContext& ctx, std::function<void()> openMainMenu, QWidget* parent = nullptr);
    ~SplashWindow() override;

    // What "end the program" does after the user takes a new version.
    void setEndProgram(EndProgramFn fn) { m_endProgram = std::move(fn); }
    VersionFetcher& fetcher() { return *m_fetcher; }

    QLabel* productNameLabel = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* statusLabel = nullptr;
    QLabel* warningLabel = nullptr;
    QTimer* playerFolderTimer = nullptr; // 100 ms: player folder and auto-display flags
    QTimer* updateCheckTimer = nullptr;  // 100 ms: update check
    QTimer* idleTimer = nullptr;         // 100 ms: enabled by the sequence, does nothing
    QTimer* mainWindowTimer = nullptr;   // 1200 ms: opens the main window

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void startSequence();
    void askPlayerFolderIfNeeded();
    void checkForUpdatesAtStart();
    void openMainMenuWhenReady();
    void startupUpdateCheck();
    void onStartupFetched(bool ok, const QByteArray& content);
    void finishUpdateStep(const QString& checkupdateonstart);

    AppContext& m_ctx;
    std::function<void()> m_openMainMenu;
    EndProgramFn m_endProgram = &endProgram;
    VersionFetcher* m_fetcher = nullptr;
    bool m_loaded = false;
    bool m_ending = false;
};

} // namespace kolvo

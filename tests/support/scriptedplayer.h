#pragma once

#include "ui/platform/playerlink.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace kolvo {

// For tests: a player whose answers are set exactly. Commands change the
// state as the real player's would; tests may overwrite it at any time.
class ScriptedPlayer : public PlayerLink {
  public:
    int playState = 0;    // answer to 104
    int playPosition = 0; // answer to 105, in ms
    bool running = false; // a player is there to be found (IsWindow)
    // Looks (FindWindowA calls) after a launch before the player answers;
    // -1 = it never answers.
    int looksUntilFound = 0;
    bool launchSucceeds = true;

    QList<int> commands;       // every WinampCommand id, in order
    QList<int> jumps;          // every 106 target, in order
    QStringList launchedFiles; // every music file launched
    int looks = 0;             // FindWindowA calls so far

    bool launch(Launcher& launcher, const QString& playerFolder, const QString& musicFile,
                QString* error = nullptr) override;
    bool FindWindowA() override;
    bool IsWindow() override;
    void WinampCommand(int id) override;
    std::optional<int> ask(int lparam, int wparam = 0) override;

  private:
    int m_looksLeft = -1;
};

} // namespace kolvo

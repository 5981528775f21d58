#include "scriptedplayer.h"

#include "ui/platform/launcher.h"

namespace kolvo {

bool ScriptedPlayer::launch(Launcher& launcher, const QString& playerFolder,
                            const QString& musicFile, QString* error) {
    launchedFiles << musicFile;
    if (!launcher.start(playerProgramPath(playerFolder), {musicFile}, playerFolder, error))
        return false;
    if (!launchSucceeds) {
        if (error)
            *error = QStringLiteral("The player could not be started.");
        return false;
    }
    m_looksLeft = looksUntilFound;
    return true;
}

bool ScriptedPlayer::FindWindowA() {
    ++looks;
    if (m_looksLeft > 0) {
        --m_looksLeft;
    } else if (m_looksLeft == 0) {
        running = true;
        m_looksLeft = -1;
    }
    winampwindow = running ? 4242 : 0;
    return running;
}

bool ScriptedPlayer::IsWindow() {
    return running && winampwindow != 0;
}

void ScriptedPlayer::WinampCommand(int id) {
    commands << id;
    if (!running)
        return;
    switch (id) {
    case winamp::Play:
        playState = 1;
        playPosition = 0;
        break;
    case winamp::Pause:
        if (playState == 1)
            playState = 3;
        else if (playState == 3)
            playState = 1;
        break;
    case winamp::Stop:
        playState = 0;
        playPosition = 0;
        break;
    default:
        break;
    }
}

std::optional<int> ScriptedPlayer::ask(int lparam, int wparam) {
    if (!running)
        return std::nullopt;
    switch (lparam) {
    case winamp::IsPlaying:
        return playState;
    case winamp::GetPosition:
        return playPosition;
    case winamp::JumpToTime:
        jumps << wparam;
        playPosition = wparam;
        return 0;
    default:
        return 0;
    }
}

} // namespace kolvo

#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kolvo {

class Launcher;

// Command ids and query numbers of the player link, kept from the old
// player's message interface so the timing tools read the same.
namespace winamp {
constexpr int Play = 40045;      // play from the start of the song
constexpr int Pause = 40046;     // toggle pause while playing or paused
constexpr int Stop = 40047;      // stop and rewind to 0
constexpr int IsPlaying = 104;   // query: 1 playing, 3 paused, 0 stopped (also at the end)
constexpr int GetPosition = 105; // query: position in ms
constexpr int JumpToTime = 106;  // query with wparam = ms: jump there
} // namespace winamp

// Path of the player program inside the player folder (`winamppath`):
// "<folder>/mpv", never with a doubled "/".
QString playerProgramPath(const QString& playerFolder);

// The link to the music player. One instance lives in the AppContext; the
// timing tools drive it with the old command meanings.
class PlayerLink {
  public:
    virtual ~PlayerLink() = default;

    // Non-zero while a player has been found (a handle-like id, the
    // player's process id for mpv); 0 = none.
    int winampwindow = 0;
    // Set to 1 by the waiting window's one-shot timer tick (LoadWinamp).
    int timertick = 0;

    // Starts the player (through `launcher`) paused on `musicFile`, in
    // `playerFolder`. A player started earlier by this link is asked to
    // quit first so the new one owns the link. The path is passed intact.
    virtual bool launch(Launcher& launcher, const QString& playerFolder, const QString& musicFile,
                        QString* error = nullptr) = 0;
    // One look for a running player: sets `winampwindow` (0 when none
    // answers) and returns whether one was found. May wait briefly (well
    // under a second) for a player that is just starting.
    virtual bool FindWindowA() = 0;
    // The player found last still answers.
    virtual bool IsWindow() = 0;
    // Play (40045), Pause (40046), Stop (40047); ignored without a player.
    virtual void WinampCommand(int id) = 0;
    // 104, 105, 106 (wparam = ms). Nothing when no player answers: a player
    // that has gone is never "at 0". 106 gives 0 when done and -1 when the
    // player refused the jump.
    virtual std::optional<int> ask(int lparam, int wparam = 0) = 0;
    // The same with 0 for "no answer", for callers that only show it.
    int query(int lparam, int wparam = 0) { return ask(lparam, wparam).value_or(0); }

    int state() { return query(winamp::IsPlaying); }
    int position() { return query(winamp::GetPosition); }
    void jumpTo(int ms) { query(winamp::JumpToTime, ms); }
    // Where the player is; nothing when it no longer answers.
    std::optional<int> positionIfAnswering() { return ask(winamp::GetPosition); }

    // Why the last launch did not give a player that answers, in the user's
    // words (the player's own error and the file it was given), or empty
    // when that is not known. Only meaningful after a look failed.
    virtual QString launchProblem() { return QString(); }
    // The player started by the last launch has already ended without ever
    // answering: looking for it again is pointless.
    virtual bool launchedPlayerEnded() { return false; }
    // Drops a player that was started but never answered, so none is left
    // running that the program cannot talk to.
    virtual void abandonLaunch() {}
};

// The real player: mpv, driven through its JSON IPC socket. Each running
// copy of the program has a socket of its own (named with its process id),
// so two copies never drive each other's player. Every wait for the player
// keeps the event loop running (user input held back until the answer is
// in), so the window never freezes on a slow or silent player.
class MpvPlayerLink : public PlayerLink {
  public:
    // `socketPath` empty: this process's own path (socketPathDefault()).
    explicit MpvPlayerLink(const QString& socketPath = QString());
    // Asks a player of ours to quit and removes the socket and its log.
    ~MpvPlayerLink() override;

    bool launch(Launcher& launcher, const QString& playerFolder, const QString& musicFile,
                QString* error = nullptr) override;
    bool FindWindowA() override;
    bool IsWindow() override;
    void WinampCommand(int id) override;
    std::optional<int> ask(int lparam, int wparam = 0) override;
    QString launchProblem() override;
    bool launchedPlayerEnded() override;
    void abandonLaunch() override;

    QString socketPath() const;
    // "kolvo-player-<pid>.sock" in $XDG_RUNTIME_DIR when that path fits a
    // local socket address (107 bytes), else in a private folder under /tmp
    // ("/tmp/kolvo-<uid>", made 0700 and ours); empty when neither is usable.
    static QString socketPathDefault();
    // The longest path a local socket address can hold.
    static constexpr int kMaxSocketPathBytes = 107;
    // Removes the sockets (and logs) that copies of the program which are no
    // longer running left in `folder`; a player still listening on one is
    // asked to quit, as nothing can drive it any more. Live copies' sockets
    // are left alone. Returns how many were removed.
    static int removeStaleSockets(const QString& folder);
    // The player's log of the last launch (beside the socket).
    QString logPath() const;
    // The options every launch uses (before the extra ones and the file):
    // paused, a window the user can see and close, kept open at the end, the
    // IPC socket, the null audio output as a fallback, and the null video
    // output when there is no display (neither DISPLAY nor WAYLAND_DISPLAY).
    QStringList launchArguments(const QString& musicFile) const;
    // Extra mpv options, split at blanks, from the environment variable
    // KOLVO_MPV_OPTIONS (e.g. "--ao=null --vo=null" for headless runs).
    static QStringList extraOptions();
    // Ask the player to quit and drop the link (tests, and before a relaunch).
    void quitPlayer();
    // One mpv property as the player reports it (undefined when it cannot
    // answer); for diagnostics and tests ("path", "pid", ...).
    QJsonValue property(const QString& name);

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kolvo

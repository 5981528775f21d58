#pragma once

#include <QJsonValue>
#include <QObject>
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

// The playback speeds the tools offer, in percent of the song's own speed.
inline constexpr int kPlaybackSpeeds[] = {100, 75, 50, 25};
// "100 %", "75 %", ...
QString speedCaption(int percent);
// `text` as one of kPlaybackSpeeds (a stored setting), else 100.
int playbackSpeedFrom(const QString& text);

// What the link tells the windows that use it.
class PlayerEvents : public QObject {
    Q_OBJECT
  signals:
    // The player the link had found has ended without being asked to
    // (killed, crashed): sent once, as soon as the link learns of it.
    void ended();
};

// The link to the music player. One instance lives in the AppContext; the
// timing tools drive it with the old command meanings.
class PlayerLink {
  public:
    PlayerLink() = default;
    virtual ~PlayerLink() = default;
    PlayerLink(const PlayerLink&) = delete;
    PlayerLink& operator=(const PlayerLink&) = delete;

    PlayerEvents* events() { return &m_events; }
    // Tells every window listening that the player has ended.
    void announceEnded() { emit m_events.ended(); }

    // Playback speed in percent (one of kPlaybackSpeeds); the pitch is
    // kept. Positions stay in the song's own time at any speed. A player
    // started later starts at 100 %. Returns false when the player did not
    // take it.
    virtual bool setSpeed(int percent) {
        m_speed = percent;
        return true;
    }
    int speed() const { return m_speed; }

    // The player answering now has `musicFile` loaded, unchanged on disk
    // since it was loaded: loading it again may reuse that player.
    virtual bool playsFile(const QString& musicFile) {
        (void)musicFile;
        return false;
    }

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

  protected:
    int m_speed = 100;

  private:
    PlayerEvents m_events;
};

// The real player: mpv, driven through its JSON IPC socket. Each running
// copy of the program has a socket of its own (named with its process id),
// so two copies never drive each other's player. The player is a child of
// the program (when the launcher can start one): it ends when the program
// ends, however it ends, and the link hears at once when it ends. Every wait for the player
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
    bool setSpeed(int percent) override;
    bool playsFile(const QString& musicFile) override;

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
    // paused, kept open at the end, no video and no window at all (the
    // music is all we play, and a window would take the keyboard), none of
    // the player's own key bindings, the IPC socket, the null audio output
    // as a fallback, and the null video output when there is no display
    // (neither DISPLAY nor WAYLAND_DISPLAY).
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

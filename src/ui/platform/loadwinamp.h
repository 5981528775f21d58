#pragma once

class QTimer;
class QWidget;

namespace kolvo {

struct AppContext;

enum class LoadWinampResult {
    Loaded,       // player found and stopped at 0
    NoMusic,      // "No MP3 file selected"
    MusicMissing, // "Could not find MP3 file"
    NoPlayer,     // "Could not find winamp.exe" (no mpv in winamppath)
    NotAnswering, // launch failed or five looks missed: "Ack!" (OK, no icon)
    OwnerGone,    // the owner window was destroyed while we waited
    Busy,         // another LoadWinamp is still waiting: nothing done
};

// Loads the song's music file (`ctx.document.song().musicadd()`) into the player:
// checks the file and the player folder (`ctx.winamppath`), starts the
// player through `ctx.launcher`, then looks for it up to five times; between
// looks the owner's one-shot 1000 ms timer runs once while events keep being
// processed (its tick sets `ctx.player.timertick`). Found: Stop. A failed
// check shows its message (exclamation, OK); after a failed check on the
// player folder, or when the player never answers, `owner` is closed.
//
// `timer`: the owner's one-shot timer; null = a child QTimer of `owner`
// named "WinampTimer" is made (or reused) for the purpose. `owner` may be
// null (nothing to close; message boxes get no parent).
// After a result other than Loaded the caller must not assume `owner` is
// still open (it may have been closed, or be gone: OwnerGone).
// A relative music path is taken from the current folder, for the check and
// for the player alike. When the player never answers, one started is not
// left running, and a second message says why when that is known (the
// player's own error and the file). Loaded: the owner keeps the keyboard.
// A player that already plays the same (unchanged) file is reused: it is
// stopped at the start and nothing is launched. Loaded leaves the player at
// 100 % speed.
// The first three checks of LoadWinamp on their own: a music file is set, it
// exists, and the player program is in the player folder. Each failure shows
// its message (exclamation, OK); the last one also closes `owner`. Loaded
// when all three pass. The tapping tools run them before every key press.
LoadWinampResult CheckSongAndPlayer(AppContext& ctx, QWidget* owner);

LoadWinampResult LoadWinamp(AppContext& ctx, QWidget* owner, QTimer* timer = nullptr);

// For tools that need an already running player: one look; none found shows
// "WinAMP doesn't appear to be open!" titled "Ack!" (OK, no icon),
// closes `owner` and returns false.
bool FindRunningWinamp(AppContext& ctx, QWidget* owner);

// For tools whose player stopped answering while in use: "WinAMP doesn't
// appear to be open!" titled "Ack!" (exclamation, OK). The caller stops what
// it was doing; a player that has gone is never read as position 0.
void ReportPlayerGone(AppContext& ctx, QWidget* owner);

} // namespace kolvo

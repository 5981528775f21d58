#pragma once

#include <QString>

namespace kolvo {

struct AppContext;
class Autosave;
class SongSummaryWindow;

// The question asked at start when a recovery copy was left by a copy of
// the program that did not close.
QString recoveryQuestion(const QString& hhmm);

// Offers the leftover recovery copy of the slot `autosave` took, if any.
// Yes reads it into the summary window as an unsaved song that saves to its
// original work file next; No keeps it aside under a name with its time and
// says where. True when a song was restored.
bool offerRecovery(AppContext& ctx, SongSummaryWindow& window, Autosave& autosave);

} // namespace kolvo

#pragma once

#include "platform/loadwinamp.h"

class QWidget;

namespace kolvo {

struct AppContext;

// The first three checks of LoadWinamp, on their own: a music file is set,
// it exists, and the player program is in the player folder. Each failure
// shows LoadWinamp's own message (exclamation, OK); the last one also closes
// `owner`. The tapping tools run them before every key press. Returns
// Loaded when all three pass.
LoadWinampResult PlayerChecks(AppContext& ctx, QWidget* owner);

} // namespace kolvo

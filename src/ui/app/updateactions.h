#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

namespace kolvo {

struct AppContext;

// The configured update address (settings "Settings"/"updateaddress"; empty
// when none is set, which makes every download fail).
QString updateAddress();
// The version file's address with a fresh "?random=" number against caches.
QUrl freshVersionFileUrl();
// What "Check for updates now" says when no update address is set: that it
// is missing and where to set it.
QString noUpdateAddressText();

// Opens the program's web page with the desktop's URL handler (xdg-open on
// PATH). No handler gives "Browser Not Found"; a handler that cannot be
// started, or no usable address, gives "URL Failed".
void webjump(AppContext& ctx, QWidget* parent);

// Ends the program after the user chose to fetch a new version: every window
// is asked to close (so an unsaved song still gets its save question), and
// the program quits once none is left open.
void endProgram();
using EndProgramFn = std::function<void()>;

} // namespace kolvo

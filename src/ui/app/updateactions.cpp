#include "ui/app/updateactions.h"

#include "core/app/startuprules.h"
#include "core/app/versioncheck.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/settings.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QWidget>

namespace kolvo {

QString updateAddress() {
    return ReadSetting(kSettingsSection, kUpdateAddressKey, QString());
}

QUrl freshVersionFileUrl() {
    return versionFileUrl(updateAddress(),
                          static_cast<int>(QRandomGenerator::global()->bounded(10000)));
}

QString noUpdateAddressText() {
    return QStringLiteral("No update address is set, so Kolvo cannot check for updates. Set it as "
                          "\"%1\" in the section [%2] of %3.")
        .arg(kUpdateAddressKey, kSettingsSection.toLower(), settingsFilePath());
}

void webjump(AppContext& ctx, QWidget* parent) {
    const QString handler = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (handler.isEmpty()) {
        ctx.boxes.show(parent, QStringLiteral("Could not find associated Browser"),
                       QStringLiteral("Browser Not Found"), MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    const QUrl page = webPageUrl(updateAddress());
    if (!page.isValid() ||
        !ctx.launcher.start(handler, {page.toString(QUrl::FullyEncoded)}, QString())) {
        ctx.boxes.show(parent, QStringLiteral("Web Page not Opened"), QStringLiteral("URL Failed"),
                       MsgButtons::Ok, MsgIcon::Exclamation);
    }
}

void endProgram() {
    QApplication::closeAllWindows();
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && w->isWindow() && !w->testAttribute(Qt::WA_DontShowOnScreen))
            return; // a window kept itself open, e.g. the user cancelled saving the song
    }
    QCoreApplication::quit();
}

} // namespace kolvo

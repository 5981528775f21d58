#include "ui/app/splashwindow.h"

#include "core/app/startuprules.h"
#include "core/app/versioncheck.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "ui/app/checkforupdates.h"
#include "ui/app/folderdialogs.h"
#include "ui/app/programpicture.h"
#include "ui/app/versionfetcher.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/settings.h"

#include <QCloseEvent>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace kolvo {

namespace {
QTimer* makeTimer(QObject* parent, const char* name, int ms) {
    auto* t = new QTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(ms);
    return t;
}

QString clockText() {
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
}
} // namespace

SplashWindow::SplashWindow(AppContext& ctx, std::function<void()> openMainMenu, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_openMainMenu(std::move(openMainMenu)) {
    setObjectName(QStringLiteral("SplashWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Kolvo"));

    auto* layout = new QHBoxLayout(this);
    auto* picture = new ProgramPicture(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(96, 96);
    layout->addWidget(picture, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    productNameLabel = new QLabel(QStringLiteral("Kolvo"), this);
    productNameLabel->setObjectName(QStringLiteral("lblProductName"));
    QFont big = productNameLabel->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    productNameLabel->setFont(big);
    versionLabel = new QLabel(this);
    versionLabel->setObjectName(QStringLiteral("lblVersion"));
    statusLabel = new QLabel(QStringLiteral("Stand by, loading..."), this);
    statusLabel->setObjectName(QStringLiteral("Label1"));
    warningLabel = new QLabel(
        QStringLiteral("This program comes with no warranty: see Help > About for details."), this);
    warningLabel->setObjectName(QStringLiteral("lblWarning"));
    warningLabel->setWordWrap(true);
    texts->addWidget(productNameLabel);
    texts->addWidget(versionLabel);
    texts->addStretch();
    texts->addWidget(statusLabel);
    texts->addWidget(warningLabel);
    layout->addLayout(texts, 1);
    resize(6000 / 15, 2400 / 15);

    playerFolderTimer = makeTimer(this, "Timer1", 100);
    updateCheckTimer = makeTimer(this, "Timer2", 100);
    idleTimer = makeTimer(this, "Timer3", 100);
    mainWindowTimer = makeTimer(this, "Timer4", 1200);
    connect(playerFolderTimer, &QTimer::timeout, this, &SplashWindow::askPlayerFolderIfNeeded);
    connect(updateCheckTimer, &QTimer::timeout, this, &SplashWindow::checkForUpdatesAtStart);
    connect(mainWindowTimer, &QTimer::timeout, this, &SplashWindow::openMainMenuWhenReady);

    m_fetcher = new VersionFetcher(this);
    connect(m_fetcher, &VersionFetcher::finished, this, &SplashWindow::onStartupFetched);
}

SplashWindow::~SplashWindow() = default;

void SplashWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        startSequence();
    }
}

void SplashWindow::closeEvent(QCloseEvent* event) {
    // Nothing of the sequence may run once the splash is gone.
    playerFolderTimer->stop();
    updateCheckTimer->stop();
    idleTimer->stop();
    mainWindowTimer->stop();
    m_ending = true;
    QWidget::closeEvent(event);
}

void SplashWindow::startSequence() {
    setDebugLogFromArguments(m_ctx.arguments);
    DebugLog(QDate::currentDate().toString(Qt::ISODate));
    DebugLog(clockText());
    DebugLog(QStringLiteral("Memory allocated, loading splash screen"));
    versionLabel->setText(QStringLiteral("Version ") + versionText());
    DebugLog(QStringLiteral("Added version ID to splash screen OK"));
    m_ctx.simulatorpath = ReadSetting(kDirInfoSection, kSimulatorKey, kUnsetFolder);
    DebugLog(QStringLiteral("Loaded DirInfo Value from registry"));
    if (simulatorPathNeedsAsking(m_ctx.simulatorpath)) {
        DebugLog(QStringLiteral("Path bad, showing DDRLocation dialog"));
        (new DDRLocation(m_ctx, this))->show();
    } else {
        DebugLog(QStringLiteral("Path OK"));
        m_ctx.goahead = 1;
    }
    DebugLog(QStringLiteral("Loaded DWIPath Value from registry"));
    playerFolderTimer->start();
    mainWindowTimer->start();
}

void SplashWindow::askPlayerFolderIfNeeded() {
    if (m_ctx.goahead != 1)
        return;
    m_ctx.winamppath = ReadSetting(kDirInfoSection, kPlayerKey, kUnsetFolder);
    DebugLog(QStringLiteral("Got Winamp path"));
    if (playerPathNeedsAsking(m_ctx.winamppath)) {
        DebugLog(QStringLiteral("Path bad, loading Winamp Dir dialog"));
        (new WinampLocation(m_ctx, this))->show();
    } else {
        DebugLog(QStringLiteral("Path okay."));
        m_ctx.goahead = 2;
    }
    struct Flag {
        const char* key;
        int EditSession::*member;
    };
    static constexpr Flag flags[] = {{"autowide", &EditSession::autowide},
                                     {"autopower", &EditSession::autopower},
                                     {"autotrans", &EditSession::autotrans}};
    for (const Flag& f : flags) {
        const QString key = QString::fromLatin1(f.key);
        const QString value = ReadSetting(kSettingsSection, key, QStringLiteral("No"));
        DebugLog(QStringLiteral("Got %1 value").arg(key));
        if (value == QStringLiteral("No")) {
            DebugLog(QStringLiteral("It's bad, attempting to save new"));
            m_ctx.session.*f.member = 1;
            WriteSetting(kSettingsSection, key, QStringLiteral("1"));
            DebugLog(QStringLiteral("Saved new %1 value as old didn't exist").arg(key));
        } else {
            m_ctx.session.*f.member = static_cast<int>(numericValue(value));
        }
    }
    updateCheckTimer->start();
    DebugLog(QStringLiteral("Timer2 Enabled"));
    playerFolderTimer->stop();
    DebugLog(QStringLiteral("Timer1 Disabled"));
}

void SplashWindow::checkForUpdatesAtStart() {
    if (m_ctx.goahead != 2)
        return;
    // This step acts once; the update check may take a while, so no second
    // tick may start it again meanwhile.
    updateCheckTimer->stop();
    const QString value = ReadSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("none"));
    DebugLog(QStringLiteral("Getting checkupdateonstart value..."));
    if (value == QStringLiteral("1")) {
        startupUpdateCheck(); // goes on in finishUpdateStep when the download ends
        return;
    }
    DebugLog(QStringLiteral("Checkupdateonstart <> 1 therefore no check"));
    finishUpdateStep(value);
}

void SplashWindow::startupUpdateCheck() {
    DebugLog(QStringLiteral("It's 1. Updating splashscreen label..."));
    statusLabel->setText(QStringLiteral("Checking for program updates..."));
    repaint();
    DebugLog(QStringLiteral("Done. Randomising timer..."));
    const QUrl url = freshVersionFileUrl();
    DebugLog(QStringLiteral("Done. Starting file download at ") + clockText());
    m_fetcher->start(url);
}

void SplashWindow::onStartupFetched(bool ok, const QByteArray& content) {
    if (m_ending)
        return;
    DebugLog(QStringLiteral("DownloadFile operation finished at ") + clockText() +
             QStringLiteral(", for better or worse"));
    const std::optional<VersionFile> file = ok ? readVersionFile(content) : std::nullopt;
    if (file) {
        DebugLog(QStringLiteral("It downloaded okay."));
        DebugLog(QStringLiteral("File opened okay."));
        DebugLog(QStringLiteral("Three lines inputted okay."));
        DebugLog(QStringLiteral("File closed okay."));
        DebugLog(QStringLiteral("File killed okay."));
        const UpdateDecision d = compareWithRunning(*file);
        if (d.majorGreater)
            DebugLog(QStringLiteral("New major app, update needed"));
        if (d.minorGreater)
            DebugLog(QStringLiteral("New minor app, update needed"));
        if (d.revisionGreater)
            DebugLog(QStringLiteral("New rev, update needed"));
        if (d.newer) {
            DebugLog(QStringLiteral("Popping up msgbox..."));
            const MsgAnswer answer =
                m_ctx.boxes.show(this, updateOfferText(*file), QStringLiteral("New Version Found"),
                                 MsgButtons::YesNo);
            DebugLog(QStringLiteral("Response entered."));
            if (answer == MsgAnswer::Yes) {
                DebugLog(QStringLiteral("Response was yes: calling webjump"));
                webjump(m_ctx, this);
                DebugLog(QStringLiteral("Terminating program."));
                m_ending = true;
                mainWindowTimer->stop();
                if (m_endProgram)
                    m_endProgram();
                return;
            }
            DebugLog(QStringLiteral("Response was no, continuing execution"));
        } else {
            DebugLog(QStringLiteral("No update needed."));
        }
    } else {
        DebugLog(QStringLiteral("Didn't download correctly, cancelling update procedure"));
    }
    finishUpdateStep(QStringLiteral("1"));
}

void SplashWindow::finishUpdateStep(const QString& checkupdateonstart) {
    if (checkupdateonstart == QStringLiteral("none")) {
        DebugLog(QStringLiteral("In fact, it's nonexistent, so loading CheckForUpdates box."));
        auto* box = new CheckForUpdates(m_ctx, this);
        box->setEndProgram(m_endProgram);
        box->show();
        DebugLog(QStringLiteral("Waiting for goahead from that box now."));
    } else if (m_ctx.goahead < 10) {
        m_ctx.goahead = 3;
        DebugLog(QStringLiteral("goahead < 10 therefore goahead = 3"));
    }
    idleTimer->start();
    DebugLog(QStringLiteral("Timer 3 Enabled"));
    updateCheckTimer->stop();
    DebugLog(QStringLiteral("Timer 2 Disabled"));
}

void SplashWindow::openMainMenuWhenReady() {
    if (m_ctx.goahead != 3 || m_ending)
        return;
    DebugLog(QStringLiteral("All done! Loading main menu!"));
    m_ending = true;
    mainWindowTimer->stop();
    idleTimer->stop();
    if (m_openMainMenu)
        m_openMainMenu();
    close();
}

} // namespace kolvo

#include "ui/app/frmsplash.h"

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

frmSplash::frmSplash(AppContext& ctx, std::function<void()> openMainMenu, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_openMainMenu(std::move(openMainMenu)) {
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Kolvo"));

    auto* layout = new QHBoxLayout(this);
    auto* picture = new ProgramPicture(this);
    picture->setObjectName(QStringLiteral("Image1"));
    picture->setFixedSize(96, 96);
    layout->addWidget(picture, 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    lblProductName = new QLabel(QStringLiteral("Kolvo"), this);
    lblProductName->setObjectName(QStringLiteral("lblProductName"));
    QFont big = lblProductName->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    lblProductName->setFont(big);
    lblVersion = new QLabel(this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    Label1 = new QLabel(QStringLiteral("Stand by, loading..."), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    lblWarning = new QLabel(
        QStringLiteral("This program comes with no warranty: see Help > About for details."), this);
    lblWarning->setObjectName(QStringLiteral("lblWarning"));
    lblWarning->setWordWrap(true);
    texts->addWidget(lblProductName);
    texts->addWidget(lblVersion);
    texts->addStretch();
    texts->addWidget(Label1);
    texts->addWidget(lblWarning);
    layout->addLayout(texts, 1);
    resize(6000 / 15, 2400 / 15);

    Timer1 = makeTimer(this, "Timer1", 100);
    Timer2 = makeTimer(this, "Timer2", 100);
    Timer3 = makeTimer(this, "Timer3", 100);
    Timer4 = makeTimer(this, "Timer4", 1200);
    connect(Timer1, &QTimer::timeout, this, &frmSplash::askPlayerFolderIfNeeded);
    connect(Timer2, &QTimer::timeout, this, &frmSplash::checkForUpdatesAtStart);
    connect(Timer4, &QTimer::timeout, this, &frmSplash::openMainMenuWhenReady);

    m_fetcher = new VersionFetcher(this);
    connect(m_fetcher, &VersionFetcher::finished, this, &frmSplash::onStartupFetched);
}

frmSplash::~frmSplash() = default;

void frmSplash::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
}

void frmSplash::closeEvent(QCloseEvent* event) {
    // Nothing of the sequence may run once the splash is gone.
    Timer1->stop();
    Timer2->stop();
    Timer3->stop();
    Timer4->stop();
    m_ending = true;
    QWidget::closeEvent(event);
}

void frmSplash::Form_Load() {
    setDebugLogFromArguments(m_ctx.arguments);
    DebugLog(QDate::currentDate().toString(Qt::ISODate));
    DebugLog(clockText());
    DebugLog(QStringLiteral("Memory allocated, loading splash screen"));
    lblVersion->setText(QStringLiteral("Version ") + versionText());
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
    Timer1->start();
    Timer4->start();
}

void frmSplash::askPlayerFolderIfNeeded() {
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
    Timer2->start();
    DebugLog(QStringLiteral("Timer2 Enabled"));
    Timer1->stop();
    DebugLog(QStringLiteral("Timer1 Disabled"));
}

void frmSplash::checkForUpdatesAtStart() {
    if (m_ctx.goahead != 2)
        return;
    // This step acts once; the update check may take a while, so no second
    // tick may start it again meanwhile.
    Timer2->stop();
    const QString value = ReadSetting(kSettingsSection, kCheckUpdateKey, QStringLiteral("none"));
    DebugLog(QStringLiteral("Getting checkupdateonstart value..."));
    if (value == QStringLiteral("1")) {
        startupUpdateCheck(); // goes on in finishUpdateStep when the download ends
        return;
    }
    DebugLog(QStringLiteral("Checkupdateonstart <> 1 therefore no check"));
    finishUpdateStep(value);
}

void frmSplash::startupUpdateCheck() {
    DebugLog(QStringLiteral("It's 1. Updating splashscreen label..."));
    Label1->setText(QStringLiteral("Checking for program updates..."));
    repaint();
    DebugLog(QStringLiteral("Done. Randomising timer..."));
    const QUrl url = freshVersionFileUrl();
    DebugLog(QStringLiteral("Done. Starting file download at ") + clockText());
    m_fetcher->start(url);
}

void frmSplash::onStartupFetched(bool ok, const QByteArray& content) {
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
                Timer4->stop();
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

void frmSplash::finishUpdateStep(const QString& checkupdateonstart) {
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
    Timer3->start();
    DebugLog(QStringLiteral("Timer 3 Enabled"));
    Timer2->stop();
    DebugLog(QStringLiteral("Timer 2 Disabled"));
}

void frmSplash::openMainMenuWhenReady() {
    if (m_ctx.goahead != 3 || m_ending)
        return;
    DebugLog(QStringLiteral("All done! Loading main menu!"));
    m_ending = true;
    Timer4->stop();
    Timer3->stop();
    if (m_openMainMenu)
        m_openMainMenu();
    close();
}

} // namespace kolvo

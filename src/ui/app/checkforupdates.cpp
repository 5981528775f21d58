#include "ui/app/checkforupdates.h"

#include "core/app/startuprules.h"
#include "core/app/versioncheck.h"
#include "ui/app/versionfetcher.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/closeonescape.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/questionkeys.h"
#include "ui/platform/settings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvo {

namespace {
QLabel* wrappedLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setWordWrap(true);
    return l;
}
} // namespace

CheckForUpdates::CheckForUpdates(AppContext& ctx, QWidget* setAside, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_setAside(setAside) {
    setObjectName(QStringLiteral("CheckForUpdates"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Kolvo Update Centre"));
    closeOnEscape(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        wrappedLabel(QStringLiteral("Do you want to check online for an update to Kolvo?"), this));
    layout->addWidget(wrappedLabel(
        QStringLiteral("No personal information is sent to anyone - it's just as if you went to "
                       "the site yourself and checked for updates."),
        this));
    layout->addWidget(wrappedLabel(
        QStringLiteral("If this is your first time running Kolvo, and you downloaded it from "
                       "somewhere other than the official site, checking is highly recommended."),
        this));
    checkAtStartBox =
        new QCheckBox(QStringLiteral("Check for updates every time I start Kolvo "
                                     "(recommended for always-on Internet connections)"),
                      this);
    checkAtStartBox->setObjectName(QStringLiteral("Check1"));
    layout->addWidget(checkAtStartBox);
    auto* buttons = new QHBoxLayout;
    checkNowButton = new QPushButton(QStringLiteral("Check for updates now"), this);
    checkNowButton->setObjectName(QStringLiteral("Command1"));
    doNotCheckButton = new QPushButton(QStringLiteral("Do not check"), this);
    doNotCheckButton->setObjectName(QStringLiteral("Command2"));
    buttons->addWidget(checkNowButton);
    buttons->addWidget(doNotCheckButton);
    layout->addLayout(buttons);
    statusLabel = new QLabel(QStringLiteral("Checking version information..."), this);
    statusLabel->setObjectName(QStringLiteral("Label3"));
    layout->addWidget(statusLabel);
    // Wide enough for the check box's long caption; the texts wrap to it.
    const QMargins m = layout->contentsMargins();
    setFixedWidth(qMax(5400 / 15, checkAtStartBox->sizeHint().width() + m.left() + m.right()));

    m_fetcher = new VersionFetcher(this);
    connect(m_fetcher, &VersionFetcher::finished, this, &CheckForUpdates::onFetched);
    connect(checkAtStartBox, &QCheckBox::clicked, this, &CheckForUpdates::storeChoice);
    connect(doNotCheckButton, &QPushButton::clicked, this, &QWidget::close);
    connect(checkNowButton, &QPushButton::clicked, this, &CheckForUpdates::checkNow);
    // Keyboard alone: Return does not check (nothing goes out unasked),
    // Escape is the same.
    giveQuestionKeys(this, doNotCheckButton, doNotCheckButton, doNotCheckButton);

    // Load
    statusLabel->setText(QStringLiteral("Currently using v") + versionText());
    storeChoice(); // once this window has been shown the question is decided
    if (m_setAside)
        m_setAside->setEnabled(false);
}

CheckForUpdates::~CheckForUpdates() {
    if (m_setAside)
        m_setAside->setEnabled(true);
    if (m_ctx.goahead < 10)
        m_ctx.goahead = 3;
}

void CheckForUpdates::storeChoice() {
    WriteSetting(kSettingsSection, kCheckUpdateKey,
                 checkAtStartBox->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
}

void CheckForUpdates::checkNow() {
    checkNowButton->setEnabled(false);
    doNotCheckButton->setEnabled(false);
    // No address is a setting left empty, not a network problem.
    if (updateAddress().trimmed().isEmpty()) {
        m_ctx.boxes.show(this, noUpdateAddressText(), QStringLiteral("No update address"),
                         MsgButtons::Ok, MsgIcon::Information);
        close();
        return;
    }
    statusLabel->setText(QStringLiteral("Stand by, connecting..."));
    m_fetcher->start(freshVersionFileUrl());
}

void CheckForUpdates::onFetched(bool ok, const QByteArray& content) {
    const std::optional<VersionFile> file = ok ? readVersionFile(content) : std::nullopt;
    if (!file) {
        m_ctx.boxes.show(this,
                         QStringLiteral("Could not download update information file; there may "
                                        "be a network problem."),
                         QStringLiteral("Could not connect."));
    } else if (compareWithRunning(*file).newer) {
        if (m_ctx.boxes.show(this, updateOfferText(*file), QStringLiteral("New Version Found"),
                             MsgButtons::YesNo) == MsgAnswer::Yes) {
            webjump(m_ctx, this);
            close();
            if (m_endProgram)
                m_endProgram();
            return;
        }
    } else {
        m_ctx.boxes.show(this,
                         QStringLiteral("No updates were found: you have the latest version."),
                         QStringLiteral("No updates found."));
    }
    close();
}

} // namespace kolvo

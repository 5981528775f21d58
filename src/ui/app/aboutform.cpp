#include "ui/app/aboutform.h"

#include "core/app/versioncheck.h"
#include "ui/app/programpicture.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/closeonescape.h"
#include "ui/platform/launcher.h"
#include "ui/platform/messageboxes.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>

namespace kolvo {

QString AboutForm::applicationTitle() {
    return QStringLiteral("KolvoDWICreator");
}

QStringList AboutForm::systemInfoPrograms() {
    return {QStringLiteral("hardinfo2"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter")};
}

AboutForm::AboutForm(AppContext& ctx, QWidget* parent) : QWidget(parent, Qt::Window), m_ctx(ctx) {
    setObjectName(QStringLiteral("AboutForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("About ") + applicationTitle());
    closeOnEscape(this);

    auto* grid = new QGridLayout(this);
    picIcon = new ProgramPicture(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setFixedSize(64, 64);
    grid->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);

    titleLabel = new QLabel(applicationTitle(), this);
    titleLabel->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = titleLabel->font();
    titleFont.setPointSize(titleFont.pointSize() * 3 / 2);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    grid->addWidget(titleLabel, 0, 1);
    versionLabel = new QLabel(QStringLiteral("Version ") + versionText(), this);
    versionLabel->setObjectName(QStringLiteral("lblVersion"));
    grid->addWidget(versionLabel, 1, 1);

    creditsLabel = new QLabel(QStringLiteral("Thanks to:<ul style=\"margin-left:-24px\">"
                                             "<li>the authors of the arrow-grabbing routines</li>"
                                             "<li>the author of the player interface module</li>"
                                             "<li>the authors of the MD5 library</li>"
                                             "<li>everyone who helped with the system calls</li>"
                                             "<li>everyone who sent feedback and bug reports</li>"
                                             "<li>the dance simulator community</li></ul>"),
                              this);
    creditsLabel->setTextFormat(Qt::RichText);
    creditsLabel->setObjectName(QStringLiteral("lblCredits"));
    grid->addWidget(creditsLabel, 2, 1);

    disclaimerLabel = new QLabel(
        QStringLiteral("Warning: this program is provided as it is, without warranty of any "
                       "kind. You use it at your own risk; its author accepts no liability for "
                       "any damage or loss of data that may come from using it."),
        this);
    disclaimerLabel->setObjectName(QStringLiteral("lblDisclaimer"));
    disclaimerLabel->setWordWrap(true);
    grid->addWidget(disclaimerLabel, 3, 0, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    setFixedWidth(5730 / 15);

    connect(cmdOK, &QPushButton::clicked, this, &QWidget::close);
    connect(cmdSysInfo, &QPushButton::clicked, this, &AboutForm::StartSysInfo);
}

void AboutForm::StartSysInfo() {
    const QStringList programs = systemInfoPrograms();
    for (const QString& name : programs) {
        const QString path = QStandardPaths::findExecutable(name);
        if (!path.isEmpty()) {
            if (m_ctx.launcher.start(path, {}, QString()))
                return;
            break;
        }
    }
    m_ctx.boxes.show(this, QStringLiteral("System Information Is Unavailable At This Time"),
                     applicationTitle(), MsgButtons::Ok, MsgIcon::None);
}

} // namespace kolvo

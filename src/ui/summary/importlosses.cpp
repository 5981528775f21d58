#include "ui/summary/importlosses.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvo {

ImportLosses::ImportLosses(const QString& path, const QList<ImportLoss>& losses, QWidget* parent)
    : QDialog(parent), m_copyText(importLossLines(losses).join(u'\n') + u'\n') {
    setObjectName(QStringLiteral("ImportLosses"));
    setWindowTitle(QStringLiteral("Imported With Losses"));
    auto* v = new QVBoxLayout(this);

    auto* heading = new QLabel(
        QStringLiteral("%1 holds %2 the song cannot hold. The song was imported without %3:")
            .arg(QFileInfo(path).fileName(),
                 losses.size() == 1 ? QStringLiteral("one thing")
                                    : QStringLiteral("%1 things").arg(losses.size()),
                 losses.size() == 1 ? QStringLiteral("it") : QStringLiteral("them")),
        this);
    heading->setObjectName(QStringLiteral("heading"));
    heading->setTextFormat(Qt::PlainText); // file names are not markup
    heading->setWordWrap(true);
    v->addWidget(heading);

    auto* list = new QPlainTextEdit(this);
    list->setObjectName(QStringLiteral("losslist"));
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    list->setPlainText(importLossReport(losses));
    v->addWidget(list, 1);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy =
        buttons->addButton(QStringLiteral("&Copy List"), QDialogButtonBox::ActionRole);
    copy->setObjectName(QStringLiteral("copybutton"));
    QPushButton* close = buttons->addButton(QStringLiteral("C&lose"), QDialogButtonBox::AcceptRole);
    close->setObjectName(QStringLiteral("closebutton"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, &ImportLosses::copyList);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    v->addWidget(buttons);
    resize(640, 400);
}

void ImportLosses::copyList() {
    QGuiApplication::clipboard()->setText(m_copyText);
}

} // namespace kolvo

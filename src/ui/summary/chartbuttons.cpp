// The "Steps Summary" grid of the summary window, the Edit > Delete command
// and the Options > Auto-Display items.
#include "ui/summary/songsummarywindow.h"

#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/settings.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/editor/stepeditorwindow.h"

namespace kolvo {

QColor SongSummaryWindow::dataColor() {
    return QColor(128, 255, 128);
}
QColor SongSummaryWindow::noDataColor() {
    return QColor(255, 255, 255);
}

namespace {
void setLook(QPushButton* b, bool data) {
    b->setText(data ? QStringLiteral("Data") : QStringLiteral("No Data"));
    // Only the enabled looks are set: while the summary window is held by
    // another window the buttons show the style's disabled look.
    QPalette pal = b->palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Button,
                     data ? SongSummaryWindow::dataColor() : SongSummaryWindow::noDataColor());
        pal.setColor(group, QPalette::ButtonText, Qt::black);
    }
    b->setPalette(pal);
}
} // namespace

QWidget* SongSummaryWindow::buildChartGrid() {
    auto* box = new QGroupBox(QStringLiteral("Steps Summary"), this);
    box->setObjectName(QStringLiteral("Frame1"));
    auto* v = new QVBoxLayout(box);
    auto* g = new QGridLayout;
    v->addLayout(g);
    const char* styles[] = {"Single Mode", "Double Mode", "Couple Mode", "Solo Mode"};
    const char* levels[] = {"Basic", "Another", "Maniac", "S-Maniac", "Edit"};
    for (int s = 1; s <= kStyles; ++s) {
        auto* h = new QLabel(QString::fromLatin1(styles[s - 1]), box);
        h->setAlignment(Qt::AlignCenter);
        g->addWidget(h, 0, s);
        g->setColumnStretch(s, 1);
    }
    for (int l = 1; l <= 5; ++l)
        g->addWidget(new QLabel(QString::fromLatin1(levels[l - 1]), box), l, 0);

    for (int n = 1; n <= 16; ++n) {
        const int style = (n - 1) % 4 + 1;
        const int level = (n - 1) / 4 + 1;
        auto* b = new QPushButton(box);
        b->setObjectName(QStringLiteral("Command%1").arg(n));
        b->setMinimumWidth(90);
        setLook(b, false);
        connect(b, &QPushButton::clicked, this, [this, n] { chartButtonClicked(n); });
        g->addWidget(b, level, style);
        m_chartButtons[std::size_t(n)] = b;
    }
    // The "Edit" row: buttons 23, 22, 21, 20 from left to right.
    for (int s = 1; s <= kStyles; ++s) {
        const int n = 24 - s;
        auto* b = new QPushButton(QStringLiteral("Unavailable"), box);
        b->setObjectName(QStringLiteral("Command%1").arg(n));
        b->setEnabled(false);
        g->addWidget(b, 5, s);
        m_chartButtons[std::size_t(n)] = b;
    }
    // The Beginner charts, beside the table.
    g->addWidget(new QLabel(levelName(Beginner), box), 6, 0);
    for (int s = 1; s <= kStyles; ++s) {
        auto* b = new QPushButton(box);
        b->setObjectName(QStringLiteral("beginner%1").arg(s));
        b->setMinimumWidth(90);
        setLook(b, false);
        connect(b, &QPushButton::clicked, this, [this, s] { openChart(s, Beginner); });
        g->addWidget(b, 6, s);
        m_beginnerButtons[std::size_t(s)] = b;
    }
    auto* hint = new QLabel(QStringLiteral("Click on a button above to create/edit a pattern. "
                                           "To wipe a pattern, go to Edit > Delete."),
                            box);
    hint->setObjectName(QStringLiteral("Label20"));
    hint->setWordWrap(true);
    v->addWidget(hint);
    return box;
}

QPushButton* SongSummaryWindow::chartButton(int n) const {
    return n >= 1 && n <= 23 ? m_chartButtons[std::size_t(n)] : nullptr;
}

QPushButton* SongSummaryWindow::beginnerButton(int style) const {
    return style >= 1 && style <= kStyles ? m_beginnerButtons[std::size_t(style)] : nullptr;
}

void SongSummaryWindow::datacheck() {
    for (int n = 1; n <= 16; ++n)
        setLook(m_chartButtons[std::size_t(n)],
                m_ctx.document.song().hasData((n - 1) % 4 + 1, (n - 1) / 4 + 1));
    for (int s = 1; s <= kStyles; ++s)
        setLook(m_beginnerButtons[std::size_t(s)], m_ctx.document.song().hasData(s, Beginner));
}

void SongSummaryWindow::chartButtonClicked(int n) {
    openChart((n - 1) % 4 + 1, (n - 1) / 4 + 1);
}

void SongSummaryWindow::openChart(int style, int level) {
    m_ctx.session.currentstyle = style;
    m_ctx.session.currentlevel = level;
    setEnabled(false);
    auto* editor = new StepEditorWindow(m_ctx, this);
    connect(editor, &StepEditorWindow::unloaded, this, [this] { setEnabled(true); });
    editor->show();
}

void SongSummaryWindow::deletepattern(int style, int level) {
    const QString text = QStringLiteral("WARNING! This will delete the entire ") +
                         styleName(style) + u' ' + levelName(level) +
                         QStringLiteral(" step sequence! Are you sure you want to continue?");
    if (m_ctx.boxes.show(this, text, QStringLiteral("Are you sure?"), MsgButtons::YesNo,
                         MsgIcon::Question) == MsgAnswer::Yes)
        m_ctx.document.clearChart(SongModel::slotOf(style, level));
}

void SongSummaryWindow::toggleAutoDisplay(QAction* action, int& flag, const QString& key) {
    flag = flag == 1 ? 0 : 1;
    action->setChecked(flag == 1);
    WriteSetting(QStringLiteral("Settings"), key, QString::number(flag));
}

} // namespace kolvo

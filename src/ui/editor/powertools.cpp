#include "ui/editor/powertools.h"

#include "core/edit/barops.h"
#include "core/edit/clipboardbar.h"
#include "ui/editor/kolvo.h"
#include "ui/editor/tooldock.h"
#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPushButton>

namespace kolvo {

namespace {

const QString kOpenCaption = QStringLiteral("<< Power Tools");
const QString kClosedCaption = QStringLiteral("Power Tools >>");

QString clipboardText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

} // namespace

PowerTools::PowerTools(AppContext& ctx, Kolvo* editor)
    : QWidget(editor), m_ctx(ctx), m_editor(editor), m_toggle(editor->Command5()) {
    setObjectName(QStringLiteral("PowerTools"));
    setWindowTitle(QStringLiteral("Power Tools"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(3765), twips(1005));
    useToolFont(this);

    const struct {
        const char* name;
        const char* caption;
        int left, top;
        void (PowerTools::*slot)();
    } buttons[] = {
        {"Command5", "Insert Bar", 120, 120, &PowerTools::insertBar},
        {"Command6", "Delete Bar", 120, 360, &PowerTools::deleteBar},
        {"Command7", "Clear Bar", 120, 600, &PowerTools::clearBar},
        {"Command8", "Cut Bar", 1320, 120, &PowerTools::cutBar},
        {"Command9", "Copy Bar", 1320, 360, &PowerTools::copyBar},
        {"Command10", "Paste Insert", 2520, 120, &PowerTools::pasteInsert},
        {"Command11", "Paste Replc", 2520, 360, &PowerTools::pasteReplace},
        {"Command12", "Paste Merge", 2520, 600, &PowerTools::pasteMerge},
    };
    int i = 0;
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromLatin1(b.caption), this);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setGeometry(twips(b.left), twips(b.top), twips(1095), twips(255));
        fitFont(button, button->text());
        connect(button, &QPushButton::clicked, this, b.slot);
        m_buttons[i++] = button;
    }

    m_ctx.powertoolsopen = 1;
    if (m_toggle)
        m_toggle->setText(kOpenCaption);
    m_dock = new ToolDock(this, editor, DockPlace::Below);
    connect(editor, &Kolvo::unloaded, this, &QWidget::close);
}

PowerTools::~PowerTools() {
    unload();
}

void PowerTools::closeEvent(QCloseEvent* event) {
    event->accept();
    m_dock->release();
    unload();
}

void PowerTools::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_ctx.powertoolsopen = 0;
    if (m_toggle)
        m_toggle->setText(kClosedCaption);
}

bool PowerTools::askBar100WillBeLost() {
    return m_ctx.boxes.show(this,
                            QStringLiteral("Kolvo only allows a maximum of 100 bars per step "
                                           "pattern. Inserting a bar will cause the steps in bar "
                                           "100 to be irrevocably lost. Continue?"),
                            QStringLiteral("Sure?"), MsgButtons::YesNo,
                            MsgIcon::None) == MsgAnswer::Yes;
}

bool PowerTools::askDeleteBar(int bar) {
    return m_ctx.boxes.show(
               this,
               QStringLiteral("Warning! This will irrevocably delete all steps in bar ") +
                   QString::number(bar) + QStringLiteral("! Go ahead?"),
               QStringLiteral("Sure?"), MsgButtons::YesNo, MsgIcon::None) == MsgAnswer::Yes;
}

void PowerTools::refuseClipboard() {
    m_ctx.boxes.show(this, QStringLiteral("The clipboard does not contain a valid Kolvo bar."),
                     QStringLiteral("Could not load from clipboard."), MsgButtons::Ok,
                     MsgIcon::Critical);
}

void PowerTools::changed() {
    m_ctx.model.notifyStepsChanged();
    if (m_editor)
        m_editor->startUpdatenow();
}

void PowerTools::insertBar() {
    SongModel& m = m_ctx.model;
    if (barHasSteps(m, m.currentstyle, m.currentlevel, kBars) && !askBar100WillBeLost())
        return;
    kolvo::insertBar(m, m.currentstyle, m.currentlevel, m.currentbar);
    changed();
}

void PowerTools::deleteBar() {
    SongModel& m = m_ctx.model;
    if (barHasSteps(m, m.currentstyle, m.currentlevel, m.currentbar) && !askDeleteBar(m.currentbar))
        return;
    kolvo::deleteBar(m, m.currentstyle, m.currentlevel, m.currentbar);
    changed();
}

void PowerTools::clearBar() {
    SongModel& m = m_ctx.model;
    if (!barHasSteps(m, m.currentstyle, m.currentlevel, m.currentbar))
        return;
    if (!askDeleteBar(m.currentbar))
        return;
    kolvo::clearBar(m, m.currentstyle, m.currentlevel, m.currentbar);
    changed();
}

void PowerTools::copyBar() {
    const SongModel& m = m_ctx.model;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(clipboardTextFromBar(m, m.currentstyle, m.currentlevel, m.currentbar));
}

void PowerTools::cutBar() {
    copyBar();
    SongModel& m = m_ctx.model;
    kolvo::deleteBar(m, m.currentstyle, m.currentlevel, m.currentbar);
    changed();
}

void PowerTools::pasteReplace() {
    const auto cells = barCellsFromClipboardText(clipboardText());
    if (!cells) {
        refuseClipboard();
        return;
    }
    SongModel& m = m_ctx.model;
    pasteBarCells(m, m.currentstyle, m.currentlevel, m.currentbar, *cells, PasteMode::Replace);
    changed();
}

void PowerTools::pasteMerge() {
    const auto cells = barCellsFromClipboardText(clipboardText());
    if (!cells) {
        refuseClipboard();
        return;
    }
    SongModel& m = m_ctx.model;
    pasteBarCells(m, m.currentstyle, m.currentlevel, m.currentbar, *cells, PasteMode::Merge);
    changed();
}

void PowerTools::pasteInsert() {
    // The clipboard is checked first, so a bad text inserts nothing.
    const auto cells = barCellsFromClipboardText(clipboardText());
    if (!cells) {
        refuseClipboard();
        return;
    }
    SongModel& m = m_ctx.model;
    if (barHasSteps(m, m.currentstyle, m.currentlevel, kBars) && !askBar100WillBeLost())
        return;
    kolvo::insertBar(m, m.currentstyle, m.currentlevel, m.currentbar);
    pasteBarCells(m, m.currentstyle, m.currentlevel, m.currentbar, *cells, PasteMode::Replace);
    changed();
}

} // namespace kolvo

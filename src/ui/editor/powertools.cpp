#include "ui/editor/powertools.h"

#include "core/edit/barops.h"
#include "core/edit/clipboardbar.h"
#include "core/edit/twips.h"
#include "core/song/songmodel.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/tooldock.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"

#include <functional>

#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QPushButton>

namespace kolvo {

namespace {

QString clipboardText() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard ? clipboard->text() : QString();
}

} // namespace

PowerTools::PowerTools(AppContext& ctx, StepEditorWindow* editor)
    : QWidget(editor), m_ctx(ctx), m_editor(editor) {
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
    editor->toolOpened(EditorTool::PowerTools, this);
    m_dock = new ToolDock(this, editor, DockPlace::Below);
    connect(editor, &StepEditorWindow::unloaded, this, &QWidget::close);
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
    if (m_editor)
        m_editor->toolClosed(EditorTool::PowerTools);
}

bool PowerTools::askBar100WillBeLost() {
    return m_ctx.boxes.show(this,
                            QStringLiteral("Kolvo only allows a maximum of %1 bars per step "
                                           "pattern. Inserting a bar will cause the steps in bar "
                                           "%1 to be irrevocably lost. Continue?")
                                .arg(kMaxBars),
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

// Runs a bar operation on a copy of the chart and hands the result to the
// document as one step; the windows showing the chart refresh on its
// announcement.
void PowerTools::apply(const QString& name, int lastBar,
                       const std::function<void(ChartSteps&, int bar)>& op) {
    const EditSession& e = m_ctx.session;
    ChartSteps copy = m_ctx.document.song().chartSteps(e.chartSlot());
    op(copy, e.currentbar);
    m_ctx.document.replaceChart(e.chartSlot(), std::move(copy),
                                name + QStringLiteral(", bar ") + QString::number(e.currentbar),
                                e.currentbar, lastBar);
}

bool PowerTools::currentBarHasSteps() const {
    const EditSession& e = m_ctx.session;
    return barHasSteps(m_ctx.document.song(), e.chartSlot(), e.currentbar);
}

bool PowerTools::lastBarHasSteps() const {
    const EditSession& e = m_ctx.session;
    return barHasSteps(m_ctx.document.song(), e.chartSlot(), kMaxBars);
}

void PowerTools::insertBar() {
    if (lastBarHasSteps() && !askBar100WillBeLost())
        return;
    apply(QStringLiteral("Insert Bar"), kMaxBars,
          [](ChartSteps& c, int bar) { kolvo::insertBar(c, bar); });
}

void PowerTools::deleteBar() {
    if (currentBarHasSteps() && !askDeleteBar(m_ctx.session.currentbar))
        return;
    apply(QStringLiteral("Delete Bar"), kMaxBars,
          [](ChartSteps& c, int bar) { kolvo::deleteBar(c, bar); });
}

void PowerTools::clearBar() {
    if (!currentBarHasSteps())
        return;
    if (!askDeleteBar(m_ctx.session.currentbar))
        return;
    const int bar = m_ctx.session.currentbar;
    apply(QStringLiteral("Clear Bar"), bar, [](ChartSteps& c, int b) { kolvo::clearBar(c, b); });
}

void PowerTools::copyBar() {
    const EditSession& e = m_ctx.session;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(
            clipboardTextFromBar(m_ctx.document.song(), e.chartSlot(), e.currentbar));
}

void PowerTools::cutBar() {
    copyBar();
    apply(QStringLiteral("Cut Bar"), kMaxBars,
          [](ChartSteps& c, int bar) { kolvo::deleteBar(c, bar); });
}

void PowerTools::pasteReplace() {
    const auto notes = barNotesFromClipboardText(clipboardText());
    if (!notes) {
        refuseClipboard();
        return;
    }
    apply(QStringLiteral("Paste Replace"), m_ctx.session.currentbar,
          [&](ChartSteps& c, int bar) { pasteBarNotes(c, bar, *notes, PasteMode::Replace); });
}

void PowerTools::pasteMerge() {
    const auto notes = barNotesFromClipboardText(clipboardText());
    if (!notes) {
        refuseClipboard();
        return;
    }
    apply(QStringLiteral("Paste Merge"), m_ctx.session.currentbar,
          [&](ChartSteps& c, int bar) { pasteBarNotes(c, bar, *notes, PasteMode::Merge); });
}

void PowerTools::pasteInsert() {
    // The clipboard is checked first, so a bad text inserts nothing.
    const auto notes = barNotesFromClipboardText(clipboardText());
    if (!notes) {
        refuseClipboard();
        return;
    }
    if (lastBarHasSteps() && !askBar100WillBeLost())
        return;
    apply(QStringLiteral("Paste Insert"), kMaxBars, [&](ChartSteps& c, int bar) {
        kolvo::insertBar(c, bar);
        pasteBarNotes(c, bar, *notes, PasteMode::Replace);
    });
}

} // namespace kolvo

#include "ui/editor/transformations.h"

#include "core/edit/transform.h"
#include "core/edit/twips.h"
#include "core/song/songmodel.h"
#include "ui/editor/stepeditorwindow.h"
#include "ui/editor/tooldock.h"
#include "ui/platform/appcontext.h"

#include <QCloseEvent>
#include <QPushButton>

namespace kolvo {

Transformations::Transformations(AppContext& ctx, StepEditorWindow* editor)
    : QWidget(editor), m_ctx(ctx), m_editor(editor) {
    setObjectName(QStringLiteral("Transformations"));
    setWindowTitle(QStringLiteral("Transformations"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(twips(2640), twips(1005));
    useToolFont(this);

    auto makeButton = [this](const char* name, const QString& caption, int top,
                             void (Transformations::*slot)()) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(twips(120), twips(top), twips(2415), twips(255));
        fitFont(button, caption);
        connect(button, &QPushButton::clicked, this, slot);
        return button;
    };
    m_mirrorButton = makeButton("Command13", QStringLiteral("Mirror Bar (Swap L-R Arrows)"), 120,
                                &Transformations::mirrorBar);
    m_flipButton = makeButton("Command14", QStringLiteral("Flip Bar (Swap U-D Arrows)"), 360,
                              &Transformations::flipBar);
    m_turnButton = makeButton("Command15", QStringLiteral("Turn Bar 90\u00B0 Clockwise"), 600,
                              &Transformations::turnBar);
    // Solo's pad has diagonals, which a quarter turn cannot carry.
    m_turnButton->setVisible(m_ctx.session.currentstyle != Solo);

    m_ctx.transformationsopen = 1;
    editor->toolOpened(EditorTool::Transformations, this);
    m_dock = new ToolDock(this, editor, DockPlace::BelowRight);
    connect(editor, &StepEditorWindow::unloaded, this, &QWidget::close);
}

Transformations::~Transformations() {
    unload();
}

void Transformations::closeEvent(QCloseEvent* event) {
    event->accept();
    m_dock->release();
    unload();
}

void Transformations::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_ctx.transformationsopen = 0;
    if (m_editor)
        m_editor->toolClosed(EditorTool::Transformations);
}

void Transformations::apply(BarTransform transform) {
    static const char* const names[] = {"Mirror Bar", "Flip Bar", "Turn Bar"};
    const EditSession& e = m_ctx.session;
    ChartSteps copy = m_ctx.document.song().chartSteps(e.chartSlot());
    transformBar(copy, e.currentbar, transform);
    m_ctx.document.replaceChart(e.chartSlot(), std::move(copy),
                                QString::fromLatin1(names[int(transform)]) +
                                    QStringLiteral(", bar ") + QString::number(e.currentbar),
                                e.currentbar, e.currentbar);
}

void Transformations::mirrorBar() {
    apply(BarTransform::Mirror);
}
void Transformations::flipBar() {
    apply(BarTransform::Flip);
}

void Transformations::turnBar() {
    if (m_ctx.session.currentstyle == Solo)
        return; // the button is hidden; a stray call changes nothing
    apply(BarTransform::Turn);
}

} // namespace kolvo

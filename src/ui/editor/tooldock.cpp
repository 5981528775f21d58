#include "ui/editor/tooldock.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QTimer>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace kolvo {

namespace {

std::optional<bool> g_embeddedOverride;

// Properties by which the editor remembers its own size while tools are laid
// into it, and by which each laid-in tool names its place.
constexpr char kBaseSize[] = "kolvoDockBaseSize";
constexpr char kBaseMin[] = "kolvoDockBaseMin";
constexpr char kBaseMax[] = "kolvoDockBaseMax";
constexpr char kPlace[] = "kolvoDockPlace";
constexpr char kReleased[] = "kolvoDockReleased";

constexpr int kGap = 2; // 30 twips between the editor and a tool

} // namespace

bool ToolDock::windowSystemPlacesWindows() {
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void ToolDock::setEmbeddedOverride(std::optional<bool> embedded) {
    g_embeddedOverride = embedded;
}

ToolDock::ToolDock(QWidget* tool, QWidget* editor, DockPlace place)
    : QObject(tool), m_tool(tool), m_editor(editor), m_place(place) {
    m_embedded = g_embeddedOverride.value_or(!windowSystemPlacesWindows());

    if (m_embedded) {
        if (!editor->property(kBaseSize).isValid()) {
            editor->setProperty(kBaseSize, editor->size());
            editor->setProperty(kBaseMin, editor->minimumSize());
            editor->setProperty(kBaseMax, editor->maximumSize());
        }
        tool->setParent(editor, Qt::Widget);
        tool->setAutoFillBackground(true);
        tool->setProperty(kPlace, int(place));
        relayoutEditor(editor);
    } else {
        // A window of its own that belongs to the editor: it stays above it
        // and goes when the editor goes.
        tool->setParent(editor, Qt::Tool);
        editor->installEventFilter(this);
        this->place();
    }

    m_placeTimer = new QTimer(this);
    m_placeTimer->setObjectName(QStringLiteral("Timer1"));
    m_placeTimer->setInterval(100);
    connect(m_placeTimer, &QTimer::timeout, this, &ToolDock::place);
    m_placeTimer->start();
}

ToolDock::~ToolDock() = default;

QPoint ToolDock::target() const {
    if (!m_tool || !m_editor)
        return {};
    if (m_embedded) {
        const QSize base = m_editor->property(kBaseSize).toSize();
        switch (m_place) {
        case DockPlace::Below:
            return {0, base.height() + kGap};
        case DockPlace::BelowRight:
            return {base.width() - m_tool->width(), base.height() + kGap};
        case DockPlace::Right:
            return {base.width() + kGap, 0};
        }
        return {};
    }
    const QRect e = m_editor->frameGeometry();
    const QRect t = m_tool->frameGeometry();
    switch (m_place) {
    case DockPlace::Below:
        return {e.x(), e.y() + e.height() + kGap};
    case DockPlace::BelowRight:
        return {e.x() + e.width() - t.width() - kGap, e.y() + e.height() + kGap};
    case DockPlace::Right:
        return {e.x() + e.width() + kGap, e.y()};
    }
    return {};
}

void ToolDock::place() {
    if (m_released || !m_tool || !m_editor)
        return;
    const QPoint to = target();
    if (m_tool->pos() != to)
        m_tool->move(to);
}

void ToolDock::release() {
    if (m_released)
        return;
    m_released = true;
    if (m_placeTimer)
        m_placeTimer->stop();
    if (m_embedded && m_tool && m_editor) {
        m_tool->setProperty(kReleased, true);
        m_tool->hide();
        relayoutEditor(m_editor);
    }
}

bool ToolDock::eventFilter(QObject* watched, QEvent* event) {
    // Follow the editor at once rather than on the next tick.
    if (watched == m_editor && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        place();
    return QObject::eventFilter(watched, event);
}

void ToolDock::relayoutEditor(QWidget* editor) {
    const QSize base = editor->property(kBaseSize).toSize();
    int belowHeight = 0;
    int belowWidth = 0;
    QWidget* right = nullptr;
    bool any = false;
    const auto children = editor->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        const QVariant place = w->property(kPlace);
        if (!place.isValid() || w->property(kReleased).toBool())
            continue;
        any = true;
        const auto p = DockPlace(place.toInt());
        if (p == DockPlace::Right) {
            right = w;
            w->move(base.width() + kGap, 0);
        } else {
            belowHeight = std::max(belowHeight, w->height());
            belowWidth = std::max(belowWidth, w->width());
            w->move(p == DockPlace::Below ? 0 : base.width() - w->width(), base.height() + kGap);
        }
    }

    if (!any) {
        // The last laid-in tool is gone: the editor gets its own size back.
        editor->setMinimumSize(editor->property(kBaseMin).toSize());
        editor->setMaximumSize(editor->property(kBaseMax).toSize());
        editor->resize(base);
        editor->setProperty(kBaseSize, QVariant());
        editor->setProperty(kBaseMin, QVariant());
        editor->setProperty(kBaseMax, QVariant());
        return;
    }

    int width = std::max(base.width(), belowWidth);
    int height = base.height() + (belowHeight > 0 ? kGap + belowHeight : 0);
    if (right) {
        width = std::max(width, base.width() + kGap + right->width());
        height = std::max(height, right->height());
    }
    const QSize needed(width, height);
    const QSize baseMin = editor->property(kBaseMin).toSize();
    const QSize baseMax = editor->property(kBaseMax).toSize();
    editor->setMinimumSize(needed.expandedTo(baseMin));
    editor->setMaximumSize(baseMin == baseMax ? needed : baseMax.expandedTo(needed));
    editor->resize(needed);
}

void useToolFont(QWidget* window) {
    QFont small = window->font();
    small.setPixelSize(11);
    window->setFont(small);
}

void fitFont(QWidget* control, const QString& text) {
    QFont f = control->font();
    const auto* label = qobject_cast<QLabel*>(control);
    const bool wraps = label && label->wordWrap();
    auto fits = [&] {
        const QFontMetrics metrics(f);
        if (!wraps)
            return metrics.horizontalAdvance(text) <= control->width() - 6;
        const QRect need =
            metrics.boundingRect(QRect(0, 0, control->width(), 10000), Qt::TextWordWrap, text);
        return need.height() <= control->height();
    };
    if (f.pixelSize() <= 0)
        f.setPixelSize(QFontMetrics(f).height());
    while (f.pixelSize() > 7 && !fits())
        f.setPixelSize(f.pixelSize() - 1);
    control->setFont(f);
}

} // namespace kolvo

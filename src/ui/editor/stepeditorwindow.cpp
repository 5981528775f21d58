#include "ui/editor/stepeditorwindow.h"

#include "core/edit/gridgeometry.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "ui/app/freezearrowhelp.h"
#include "ui/dwi/simulatortest.h"
#include "ui/editor/notetools.h"
#include "ui/editor/powertools.h"
#include "ui/editor/stepgrid.h"
#include "ui/editor/transformations.h"
#include "ui/editor/wideview.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/historyactions.h"
#include "ui/platform/loadwinamp.h"
#include "ui/platform/messageboxes.h"
#include "ui/platform/playerlink.h"
#include "ui/timing/editorlink.h"
#include "ui/timing/stepgrabbersetup.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>

#include <cmath>

namespace kolvo {

namespace {

using grid::columnLeft;

QRect twipRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// A push button whose caption wraps onto several lines, as the narrow
// buttons of the left column need ("Last bar", "Test in DWI").
class WrappingButton : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.drawItemText(rect().adjusted(1, 1, -1, -1), Qt::AlignCenter | Qt::TextWordWrap,
                             palette(), isEnabled(), text(), QPalette::ButtonText);
    }
};

// Shrinks a control's font until `text` fits in `width` pixels, so a long
// caption in its fixed twip-sized place is never clipped.
void fitFont(QWidget* w, const QString& text, int width) {
    QFont f = w->font();
    while (f.pixelSize() > 7 && QFontMetrics(f).horizontalAdvance(text) > width)
        f.setPixelSize(f.pixelSize() - 1);
    w->setFont(f);
}

const QColor kBarFlash(128, 255, 128);
constexpr int kEditStripHeight = 22; // pixels

struct Header {
    int column;
    const char* name;
    const char* arrow;
};
// The column headers; the second pad repeats the first pad's arrows.
constexpr Header kHeaders[] = {
    {1, "Label16", "\u2190"},  {2, "Label15", "\u2196"}, {3, "Label14", "\u2193"},
    {4, "Label13", "\u2191"},  {5, "Label11", "\u2197"}, {6, "Label12", "\u2192"},
    {7, "Label21", "\u2190"},  {8, "Label22", "\u2193"}, {9, "Label23", "\u2191"},
    {10, "Label24", "\u2192"},
};

// The toggles' captions, by EditorTool: while the tool is closed, while open.
struct ToolCaptions {
    const char* closed;
    const char* open;
};
constexpr ToolCaptions kToolCaptions[] = {
    {"Wide View >>", "<< Wide View"},
    {"Power Tools >>", "<< Power Tools"},
    {"Transforms >>", "<< Transforms"},
};
QString closedCaption(EditorTool tool) {
    return QString::fromLatin1(kToolCaptions[std::size_t(tool)].closed);
}

void setBase(QLineEdit* box, const QColor& colour) {
    QPalette pal = box->palette();
    pal.setColor(QPalette::Base, colour);
    box->setPalette(pal);
}

} // namespace

StepEditorWindow::StepEditorWindow(AppContext& ctx, QWidget* summaryWindow, QWidget* parent)
    : QWidget(parent, Qt::Window), m_ctx(ctx), m_summary(summaryWindow) {
    setObjectName(QStringLiteral("Kolvo"));
    setWindowTitle(QStringLiteral("Edit Steps"));
    setAttribute(Qt::WA_DeleteOnClose);
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    // The Edit menu sits in a strip under the grid, so the grid and the
    // controls keep their places.
    setFixedSize(twips(grid::kClientWidth), twips(grid::kClientHeight) + kEditStripHeight);

    m_grid = new StepGrid(ctx, this);
    buildControls();
    buildWaveStrip();
    new NoteTools(this, m_grid, m_waveToggle);

    // Opening steps, in order.
    if (m_summary)
        m_summary->setEnabled(false);
    // A chart without data gets data and foot level 1 (opening is not an
    // edit of its own: the song is unchanged until something is drawn).
    m_ctx.document.openChart(m_ctx.session.chartSlot());
    m_ctx.session.currentbar = 1;
    hideUnusedHeaders();
    showFootlevel();
    showAutoDisplayedToolWindows();
    refreshgrid();
}

StepEditorWindow::~StepEditorWindow() {
    unload();
}

void StepEditorWindow::buildControls() {
    auto button = [this](const char* name, const QString& caption, QRect where, bool wrap = false) {
        QPushButton* b = wrap ? new WrappingButton(caption, this) : new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(where);
        b->setAutoDefault(true); // Enter presses the focused button, as everywhere
        return b;
    };
    auto label = [this](const char* name, const QString& text, QRect where,
                        Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(where);
        l->setAlignment(align);
        return l;
    };
    auto box = [this](const char* name, const QString& text, QRect where) {
        auto* b = new QLineEdit(text, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(where);
        b->setAlignment(Qt::AlignCenter);
        b->setTextMargins(0, 0, 0, 0);
        return b;
    };

    label("Label2", QStringLiteral("Windows:"), twipRect(120, 120, 1095, 255),
          Qt::AlignLeft | Qt::AlignVCenter);
    m_wideViewButton =
        button("Command4", closedCaption(EditorTool::WideView), twipRect(960, 120, 1335, 255));
    m_transformsButton = button("Command6", closedCaption(EditorTool::Transformations),
                                twipRect(2280, 120, 1335, 255));
    m_powerToolsButton =
        button("Command5", closedCaption(EditorTool::PowerTools), twipRect(3600, 120, 1335, 255));
    m_savemenu =
        button("savemenu", QStringLiteral("Finish Editing"), twipRect(5280, 120, 1215, 255));
    m_savemenu->setDefault(true);
    // The tool windows' captions ("<< Wide View") are as long as these.
    for (QPushButton* b : {m_wideViewButton, m_transformsButton, m_powerToolsButton, m_savemenu})
        fitFont(b, b->text(), b->width() - 6);

    m_lastBarButton =
        button("Command1", QStringLiteral("Last bar"), twipRect(120, 600, 495, 495), true);
    // gotobat lies under barnumber: the visible box shows the bar and
    // passes the keyboard on to gotobat, which takes the typed bar number.
    m_gotobat = box("gotobat", QStringLiteral("1"), twipRect(120, 1080, 495, 285));
    m_barnumber = box("barnumber", QStringLiteral("1"), twipRect(120, 1080, 495, 285));
    m_barnumber->setReadOnly(true);
    m_barnumber->setFocusProxy(m_gotobat);
    setBase(m_barnumber, Qt::white);
    m_nextBarButton =
        button("Command2", QStringLiteral("Next bar"), twipRect(120, 1320, 495, 495), true);
    m_loadButton = button("Command7", QStringLiteral("Load"), twipRect(120, 1920, 495, 735), true);
    m_dwitest =
        button("dwitest", QStringLiteral("Test in DWI"), twipRect(120, 2760, 495, 1215), true);
    m_stepGrabButton =
        button("Command8", QStringLiteral("Step Grab"), twipRect(120, 4080, 495, 495), true);
    auto* footLabel = label("Label1", QStringLiteral("Foot Level"), twipRect(120, 4680, 495, 495),
                            Qt::AlignCenter);
    footLabel->setWordWrap(true);
    m_footlevel = box("footlevel", QStringLiteral("1"), twipRect(120, 5160, 495, 285));
    m_arrowHelpButton =
        button("Command3",
               QStringLiteral("Click for help on creating and timing arrows, and designing "
                              "freeze arrows."),
               twipRect(840, 5160, 5655, 255));
    fitFont(m_arrowHelpButton, m_arrowHelpButton->text(), m_arrowHelpButton->width() - 8);
    m_gotoBarButton =
        button("Command84", QStringLiteral("Goto bar"), twipRect(6120, 5040, 495, 495));
    m_gotoBarButton->hide();

    QFont arrowFont = font();
    arrowFont.setPixelSize(15);
    arrowFont.setBold(true);
    for (const Header& h : kHeaders) {
        QLabel* l = label(h.name, QString::fromUtf8(h.arrow),
                          twipRect(columnLeft(h.column), 960, 480, 255), Qt::AlignCenter);
        l->setFont(arrowFont);
        // The header's last pixel row lies on row 1 of the grid: presses
        // there belong to the grid.
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_columnHeaders[std::size_t(h.column)] = l;
    }
    label("leftsidelabel", QStringLiteral("Left Side"), twipRect(1440, 600, 1440, 255));
    label("rightsidelabel", QStringLiteral("Right Side"), twipRect(4560, 600, 1440, 255));
    for (int beat = 1; beat <= 4; ++beat) {
        const int lineY = grid::rowTop(1 + 8 * (beat - 1));
        // Ends where the beat line begins.
        QLabel* l = label(QStringLiteral("beatlabel%1").arg(beat).toLatin1().constData(),
                          QStringLiteral("Beat %1").arg(beat),
                          twipRect(840, lineY - 120, grid::kBeatLineLeft - 840, 255));
        fitFont(l, l->text(), l->width() - 1);
    }

    // Edit: undo and redo, named after the step they would take.
    m_history =
        makeHistoryActions(m_ctx.document, this, [this] { return m_ctx.session.chartSlot(); });
    m_editButton = new QPushButton(QStringLiteral("&Edit"), this);
    m_editButton->setObjectName(QStringLiteral("editmenubutton"));
    m_editButton->setGeometry(twips(120), twips(grid::kClientHeight), 60, kEditStripHeight - 2);
    m_editButton->setAutoDefault(false);
    m_editButton->setFocusPolicy(Qt::NoFocus);
    m_editMenu = new QMenu(m_editButton);
    m_editMenu->setObjectName(QStringLiteral("editmenu"));
    m_editMenu->addAction(m_history.undo);
    m_editMenu->addAction(m_history.redo);
    m_editButton->setMenu(m_editMenu);

    auto timer = [this](const char* name, int ms) {
        auto* t = new QTimer(this);
        t->setObjectName(QLatin1String(name));
        t->setInterval(ms);
        t->setSingleShot(true);
        return t;
    };
    m_barFlashOn = timer("Timer1", 200);
    m_barFlashOff = timer("Timer2", 400);
    m_playerTick = timer("Timerx", 1000);
    m_updatenow = timer("updatenow", 50);
    connect(m_barFlashOn, &QTimer::timeout, this, [this] { setBase(m_barnumber, kBarFlash); });
    connect(m_barFlashOff, &QTimer::timeout, this, [this] { setBase(m_barnumber, Qt::white); });
    connect(m_playerTick, &QTimer::timeout, this, [this] { m_ctx.player.timertick = 1; });
    connect(m_updatenow, &QTimer::timeout, this, [this] {
        refreshgrid();
        refreshwideview();
    });
    m_barFlashOff->start();
    m_playerTick->start();

    connect(m_grid, &StepGrid::cellEdited, this, [this] { refreshwideview(); });
    // Any step of the history that touches this chart (a tool's bar
    // operation, an undo, a redo) repaints through updatenow; a press has
    // already painted its cell.
    connect(&m_ctx.document, &Document::changed, this, [this](const SongChange& change) {
        if (m_unloaded || m_grid->isWriting())
            return;
        if (change.touches(SongChange::Flags) && change.touchesSlot(m_ctx.session.chartSlot()))
            showFootlevel();
        if (change.touches(SongChange::Steps | SongChange::Tempo) &&
            change.touchesSlot(m_ctx.session.chartSlot()))
            startUpdatenow();
    });
    connect(m_barnumber, &QLineEdit::textChanged, this, [this] { barnumberChanged(); });
    m_gotobat->installEventFilter(this);
    connect(m_gotoBarButton, &QPushButton::clicked, this, [this] { gotoBar(); });
    connect(m_lastBarButton, &QPushButton::clicked, this, [this] { lastBar(); });
    connect(m_nextBarButton, &QPushButton::clicked, this, [this] { nextBar(); });
    connect(m_footlevel, &QLineEdit::textChanged, this, [this] { footlevelChanged(); });
    connect(m_wideViewButton, &QPushButton::clicked, this,
            [this] { toggleTool(EditorTool::WideView); });
    connect(m_powerToolsButton, &QPushButton::clicked, this,
            [this] { toggleTool(EditorTool::PowerTools); });
    connect(m_transformsButton, &QPushButton::clicked, this,
            [this] { toggleTool(EditorTool::Transformations); });
    connect(m_loadButton, &QPushButton::clicked, this, [this] { loadIntoPlayer(); });
    connect(m_dwitest, &QPushButton::clicked, this, [this] { testInSimulator(); });
    connect(m_savemenu, &QPushButton::clicked, this, [this] { finishEditing(); });
    connect(m_stepGrabButton, &QPushButton::clicked, this, [this] { showStepGrabberSetup(); });
    connect(m_arrowHelpButton, &QPushButton::clicked, this, [this] { showArrowHelp(); });
}

void StepEditorWindow::hideUnusedHeaders() {
    for (int column = 1; column <= grid::kColumnsShown; ++column)
        m_columnHeaders[std::size_t(column)]->setVisible(
            grid::styleUsesColumn(m_ctx.session.currentstyle, column));
}

// ---- tool windows ----

void StepEditorWindow::showAutoDisplayedToolWindows() {
    if (m_ctx.session.autowide == 1)
        showWideView();
    if (m_ctx.session.autopower == 1)
        showPowerTools();
    if (m_ctx.session.autotrans == 1)
        showTransformations();
}

// The three tool windows open here (each shown without waiting; each tells
// the editor while it is open).
// Each also takes the editor's Undo and Redo shortcuts.
void StepEditorWindow::showWideView() {
    auto* w = new WideView(m_ctx, this);
    shareHistoryActions(m_history, w);
    w->show();
}
void StepEditorWindow::showPowerTools() {
    auto* w = new PowerTools(m_ctx, this);
    shareHistoryActions(m_history, w);
    w->show();
}
void StepEditorWindow::showTransformations() {
    auto* w = new Transformations(m_ctx, this);
    shareHistoryActions(m_history, w);
    w->show();
}

void StepEditorWindow::showStepGrabberSetup() {
    EditorLink link;
    link.editor = this;
    link.openToolWindows = [this] {
        QList<QWidget*> open;
        for (const QPointer<QWidget>& w : m_tools)
            if (w)
                open << w;
        return open;
    };
    link.startUpdatenow = [this] { startUpdatenow(); };
    // The bar box, the grid and the wide view show the bar a grab starts at.
    link.goToBar = [this](int bar) {
        setBarNumberText(bar);
        refreshgrid();
        refreshwideview();
    };
    (new StepGrabberSetup(m_ctx, link))->show();
}

void StepEditorWindow::showArrowHelp() {
    (new FreezeArrowHelp)->show();
}

void StepEditorWindow::toggleTool(EditorTool tool) {
    if (QWidget* w = openTool(tool)) {
        w->close();
        return;
    }
    switch (tool) {
    case EditorTool::WideView:
        showWideView();
        break;
    case EditorTool::PowerTools:
        showPowerTools();
        break;
    case EditorTool::Transformations:
        showTransformations();
        break;
    }
}

void StepEditorWindow::toolOpened(EditorTool tool, QWidget* window) {
    m_tools[std::size_t(tool)] = window;
    showToolCaption(tool);
}

void StepEditorWindow::toolClosed(EditorTool tool) {
    m_tools[std::size_t(tool)] = nullptr;
    showToolCaption(tool);
}

QWidget* StepEditorWindow::openTool(EditorTool tool) const {
    return m_tools[std::size_t(tool)];
}

QPushButton* StepEditorWindow::toolButton(EditorTool tool) const {
    switch (tool) {
    case EditorTool::WideView:
        return m_wideViewButton;
    case EditorTool::PowerTools:
        return m_powerToolsButton;
    case EditorTool::Transformations:
        return m_transformsButton;
    }
    return nullptr;
}

void StepEditorWindow::showToolCaption(EditorTool tool) {
    const ToolCaptions& c = kToolCaptions[std::size_t(tool)];
    toolButton(tool)->setText(QString::fromLatin1(openTool(tool) ? c.open : c.closed));
}

void StepEditorWindow::closeToolWindows() {
    for (EditorTool tool :
         {EditorTool::WideView, EditorTool::Transformations, EditorTool::PowerTools})
        if (QWidget* w = openTool(tool))
            w->close();
}

// ---- the grid and the bar ----

void StepEditorWindow::refreshgrid() {
    m_grid->refreshgrid();
    layOutWaveStrip();
}

void StepEditorWindow::startUpdatenow() {
    m_updatenow->start();
}

void StepEditorWindow::refreshwideview() {
    emit refreshed();
}

void StepEditorWindow::setBarNumberText(int bar) {
    m_barnumber->setText(QString::number(bar));
}

void StepEditorWindow::barnumberChanged() {
    refreshgrid();
    m_gotobat->setText(m_barnumber->text());
}

void StepEditorWindow::lastBar() {
    if (m_ctx.session.currentbar > 1) {
        --m_ctx.session.currentbar;
        setBarNumberText(m_ctx.session.currentbar);
        refreshgrid(); // also when the box already showed this number
        refreshwideview();
    } else {
        QApplication::beep();
    }
}

void StepEditorWindow::nextBar() {
    if (m_ctx.session.currentbar < kMaxBars) {
        ++m_ctx.session.currentbar;
        setBarNumberText(m_ctx.session.currentbar);
        refreshgrid();
        refreshwideview();
    } else {
        QApplication::beep();
    }
}

void StepEditorWindow::gotoBar() {
    const QString t = m_gotobat->text();
    const double v = numericValue(t);
    if (!isWellFormedWholeNumber(t) || v < 1 || v > kMaxBars) {
        m_ctx.boxes.show(
            this,
            QStringLiteral(
                "That bar number is invalid; it must be a whole number between 1 and %1.")
                .arg(kMaxBars),
            QStringLiteral("Kolvo"), MsgButtons::Ok, MsgIcon::None);
        return;
    }
    m_ctx.session.currentbar = int(v);
    setBarNumberText(m_ctx.session.currentbar);
    refreshgrid();
    refreshwideview(); // the wide view's bar marker follows a jump too
}

void StepEditorWindow::startBarTyping() {
    if (m_typingBar)
        return;
    m_typingBar = true;
    m_gotobat->clear();
    m_gotobat->raise(); // what is typed shows in place of the bar number
}

void StepEditorWindow::endBarTyping() {
    if (!m_typingBar)
        return;
    m_typingBar = false;
    m_gotobat->setText(m_barnumber->text());
    m_barnumber->raise();
}

void StepEditorWindow::gotobatEntered() {
    gotoBar();
    endBarTyping();
    m_barFlashOn->start();
    m_barFlashOff->start();
}

bool StepEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_gotobat && event->type() == QEvent::FocusOut)
        endBarTyping();
    if (watched == m_gotobat && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // The typed number is the bar to go to; the key goes no further
            // (it would press Finish Editing).
            gotobatEntered();
            return true;
        case Qt::Key_Escape:
            if (m_typingBar) {
                endBarTyping();
                return true;
            }
            break;
        default:
            // The first key that types something starts a new number.
            if (!key->text().isEmpty() && key->text().front().isPrint() &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
                startBarTyping();
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- foot level ----

void StepEditorWindow::showFootlevel() {
    // The box shows the stored foot level as it is; showing it is not an edit.
    const QString text = m_ctx.document.song().chart(m_ctx.session.chartSlot()).footlevels.toText();
    if (m_footlevel->text() == text)
        return;
    m_loadingFootlevel = true;
    m_footlevel->setText(text);
    m_loadingFootlevel = false;
}

void StepEditorWindow::footlevelChanged() {
    if (m_loadingFootlevel)
        return;
    const QString t = m_footlevel->text();
    if (t.isEmpty())
        return; // still typing
    const ChartSlot chart = m_ctx.session.chartSlot();
    const double v = numericValue(t);
    if (!std::isfinite(v) || std::floor(v) != v || v < 1 || v > 20) {
        m_ctx.boxes.show(this, QStringLiteral("Footlevel must be a whole number between 1 and 20."),
                         QStringLiteral("Footlevel invalid."), MsgButtons::Ok, MsgIcon::Critical);
        m_loadingFootlevel = true;
        m_footlevel->setText(m_ctx.document.song().chart(chart).footlevels.toText());
        m_loadingFootlevel = false;
        return;
    }
    const QString plain = canonicalNumberText(v);
    if (plain != t) {
        m_loadingFootlevel = true;
        m_footlevel->setText(plain);
        m_loadingFootlevel = false;
    }
    m_ctx.document.setFootlevel(chart, Value::text(plain));
}

// ---- commands ----

void StepEditorWindow::loadIntoPlayer() {
    // May close (and so delete) this window on a failure; nothing follows.
    LoadWinamp(m_ctx, this, m_playerTick);
}

void StepEditorWindow::testInSimulator() {
    TestInSimulator(m_ctx, this);
}

void StepEditorWindow::finishEditing() {
    close();
}

void StepEditorWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_savemenu->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void StepEditorWindow::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void StepEditorWindow::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_updatenow->stop();
    closeToolWindows();
    if (m_summary)
        m_summary->setEnabled(true);
    emit unloaded();
}

} // namespace kolvo

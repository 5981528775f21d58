#include "ui/editor/notetools.h"

#include "core/edit/snaps.h"
#include "ui/editor/stepgrid.h"

#include <QComboBox>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

namespace kolvo {

namespace {

QString snapCaption(int snap) {
    const char* suffix = "th";
    if (snap % 100 < 11 || snap % 100 > 13) {
        if (snap % 10 == 1)
            suffix = "st";
        else if (snap % 10 == 2)
            suffix = "nd";
        else if (snap % 10 == 3)
            suffix = "rd";
    }
    return QString::number(snap) + QLatin1String(suffix);
}

struct KindChoice {
    NoteKind kind;
    const char* caption;
    Qt::Key key;
};
constexpr KindChoice kKinds[] = {
    {NoteKind::Arrow, "Arrow (A)", Qt::Key_A},    {NoteKind::FreezeStart, "Freeze (F)", Qt::Key_F},
    {NoteKind::RollStart, "Roll (R)", Qt::Key_R}, {NoteKind::Mine, "Mine (M)", Qt::Key_M},
    {NoteKind::Lift, "Lift (L)", Qt::Key_L},      {NoteKind::Fake, "Fake (K)", Qt::Key_K},
};

} // namespace

NoteTools::NoteTools(QWidget* editor, StepGrid* grid, QWidget* beside)
    : QObject(editor), m_grid(grid) {
    setObjectName(QStringLiteral("notetools"));
    int x = beside->geometry().right() + 8;
    m_snapBox = new QComboBox(editor);
    m_snapBox->setObjectName(QStringLiteral("snapbox"));
    m_snapBox->setFocusPolicy(Qt::NoFocus);
    m_snapBox->setToolTip(QStringLiteral("Rows per bar (, and . step through them)"));
    for (int snap : grid::kSnaps)
        m_snapBox->addItem(snapCaption(snap), snap);
    m_snapBox->setCurrentIndex(m_snapBox->findData(grid::kDefaultSnap));
    m_snapBox->setGeometry(x, beside->y(), 66, beside->height());
    x = m_snapBox->geometry().right() + 6;

    m_kindBox = new QComboBox(editor);
    m_kindBox->setObjectName(QStringLiteral("notekindbox"));
    m_kindBox->setFocusPolicy(Qt::NoFocus);
    m_kindBox->setToolTip(QStringLiteral("The note the left button places (with Shift: a mine; "
                                         "the right button: a freeze, with Shift: a roll)"));
    for (const KindChoice& k : kKinds)
        m_kindBox->addItem(QLatin1String(k.caption), int(k.kind));
    m_kindBox->setGeometry(x, beside->y(), 92, beside->height());

    connect(m_snapBox, &QComboBox::currentIndexChanged, this,
            [this] { m_grid->setSnap(m_snapBox->currentData().toInt()); });
    connect(m_kindBox, &QComboBox::currentIndexChanged, this,
            [this] { m_grid->setNoteKind(NoteKind(m_kindBox->currentData().toInt())); });

    auto shortcut = [this, editor](const QKeySequence& keys, auto then) {
        auto* s = new QShortcut(keys, editor);
        s->setContext(Qt::WindowShortcut);
        connect(s, &QShortcut::activated, this, then);
    };
    shortcut(QKeySequence(Qt::Key_Comma), [this] { stepSnap(-1); });
    shortcut(QKeySequence(Qt::Key_Period), [this] { stepSnap(1); });
    for (const KindChoice& k : kKinds)
        shortcut(QKeySequence(k.key), [this, kind = k.kind] { setNoteKind(kind); });
    shortcut(QKeySequence(QKeySequence::Delete), [this] { m_grid->deleteSelected(); });
    shortcut(QKeySequence(Qt::Key_Backspace), [this] { m_grid->deleteSelected(); });
}

void NoteTools::setSnap(int snap) {
    const int i = m_snapBox->findData(snap);
    if (i >= 0)
        m_snapBox->setCurrentIndex(i);
}

void NoteTools::stepSnap(int direction) {
    setSnap(grid::stepSnap(m_grid->snap(), direction));
}

void NoteTools::setNoteKind(NoteKind kind) {
    const int i = m_kindBox->findData(int(kind));
    if (i >= 0)
        m_kindBox->setCurrentIndex(i);
}

} // namespace kolvo

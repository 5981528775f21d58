#include "ui/timing/keytester.h"

#include "core/timing/grabbermath.h"
#include "core/timing/virtualkeys.h"
#include "ui/timing/toolwidgets.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kolvo {

namespace {
struct IndicatorLayout {
    const char* name;
    const char* glyph;
    int row;
    int column;
};
// Player 1 on the first row, Player 2 below, each under its arrow.
constexpr IndicatorLayout kIndicators[] = {
    {"l", "\u2190", 0, 1},  {"ul", "\u2196", 0, 2}, {"d", "\u2193", 0, 3},  {"u", "\u2191", 0, 4},
    {"ur", "\u2197", 0, 5}, {"r", "\u2192", 0, 6},  {"l2", "\u2190", 1, 1}, {"d2", "\u2193", 1, 3},
    {"u2", "\u2191", 1, 4}, {"r2", "\u2192", 1, 6},
};
} // namespace

KeyTester::KeyTester(QWidget* setupWindow, QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("KeyTester"));
    setWindowTitle(QStringLiteral("Key Tester"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* layout = new QVBoxLayout(this);
    auto* mode = new QGroupBox(QStringLiteral("Test for"), this);
    auto* modeLayout = new QHBoxLayout(mode);
    m_single = new QRadioButton(QStringLiteral("Single / Solo"), mode);
    m_single->setObjectName(QStringLiteral("Option1(0)"));
    m_double = new QRadioButton(QStringLiteral("Double / Couple"), mode);
    m_double->setObjectName(QStringLiteral("Option1(1)"));
    m_single->setChecked(true);
    modeLayout->addWidget(m_single);
    modeLayout->addWidget(m_double);
    layout->addWidget(mode);

    m_testBox = new QLineEdit(QStringLiteral("Click inside this box to test."), this);
    m_testBox->setObjectName(QStringLiteral("Text1"));
    layout->addWidget(m_testBox);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Player 1"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Player 2"), this), 1, 0);
    for (const IndicatorLayout& ind : kIndicators) {
        auto* box = new QFrame(this);
        box->setObjectName(QLatin1String(ind.name));
        box->setFrameShape(QFrame::Box);
        box->setFixedSize(32, 32);
        auto* glyph = new QLabel(QString::fromUtf8(ind.glyph), box);
        glyph->setAlignment(Qt::AlignCenter);
        glyph->setGeometry(0, 0, 32, 32);
        setFill(box, kOffWhite);
        m_indicators.insert(box->objectName(), box);
        grid->addWidget(box, ind.row, ind.column);
    }
    layout->addLayout(grid);

    m_okButton = new QPushButton(QStringLiteral("OK"), this);
    m_okButton->setObjectName(QStringLiteral("Command1"));
    m_okButton->setAutoDefault(false);
    layout->addWidget(m_okButton, 0, Qt::AlignRight);
    connect(m_okButton, &QPushButton::clicked, this, &QWidget::close);

    m_testBox->installEventFilter(this);
    m_lock.lock(setupWindow);
}

KeyTester::~KeyTester() {
    unload();
}

QFrame* KeyTester::indicator(const QString& name) const {
    return m_indicators.value(name);
}

bool KeyTester::lit(const QString& name) const {
    return isLit(indicator(name));
}

void KeyTester::light(int virtualKey, bool on) {
    for (const QString& name : grab::keyTesterLights(virtualKey, m_single->isChecked()))
        setFill(indicator(name), on ? kLitGreen : kOffWhite);
}

void KeyTester::keyDown(int virtualKey) {
    light(virtualKey, true);
}
void KeyTester::keyUp(int virtualKey) {
    light(virtualKey, false);
}

bool KeyTester::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_testBox &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(event);
        const int code = vk::fromQtKey(key->key(), key->modifiers());
        if (event->type() == QEvent::KeyPress)
            keyDown(code);
        else if (!key->isAutoRepeat()) // a held key repeats: it is still down
            keyUp(code);
    }
    return QWidget::eventFilter(watched, event); // the box still takes the key
}

void KeyTester::closeEvent(QCloseEvent* event) {
    unload();
    event->accept();
}

void KeyTester::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_lock.release();
    emit unloaded();
}

} // namespace kolvo

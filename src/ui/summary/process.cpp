#include "ui/summary/process.h"

#include <QFrame>
#include <QLabel>
#include <QPalette>

#include <algorithm>

namespace kolvo {

namespace {
int px(int twips) {
    return twips / 15;
}
} // namespace

Process::Process(QWidget* parent) : QWidget(parent, Qt::Dialog | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("Process"));
    setWindowTitle(QStringLiteral("Saving Kolvo Work In Progress"));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_QuitOnClose, false); // never the window whose closing ends the program
    setFixedSize(px(3300), px(1500));

    auto* standBy = new QLabel(QStringLiteral("Stand by, processing..."), this);
    standBy->setObjectName(QStringLiteral("Label1"));
    standBy->setGeometry(px(240), px(120), px(2900), px(300));

    m_outline = new QFrame(this);
    m_outline->setObjectName(QStringLiteral("Shape1"));
    m_outline->setFrameShape(QFrame::Box);
    m_outline->setGeometry(px(240), px(480), px(kOutlineTwips), px(300));

    m_bar = new QFrame(m_outline);
    m_bar->setObjectName(QStringLiteral("Shape2"));
    m_bar->setAutoFillBackground(true);
    QPalette pal = m_bar->palette();
    pal.setColor(QPalette::Window, QColor(128, 255, 128));
    m_bar->setPalette(pal);
    m_bar->setGeometry(0, 0, std::max(1, px(kStartTwips)), px(300));

    auto* warning = new QLabel(
        QStringLiteral("Warning: pre-0.9 versions of Kolvo cannot read this file."), this);
    warning->setObjectName(QStringLiteral("Label2"));
    warning->setWordWrap(true);
    warning->setGeometry(px(240), px(900), px(2900), px(480));
}

void Process::setChartsDone(int chartsDone) {
    chartsDone = std::clamp(chartsDone, 0, 16);
    m_barTwips = std::max(kStartTwips, kOutlineTwips * chartsDone / 16);
    m_bar->setGeometry(0, 0, std::max(1, px(m_barTwips)), m_outline->height());
    repaint();
}

} // namespace kolvo

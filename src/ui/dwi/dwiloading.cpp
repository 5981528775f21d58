#include "ui/dwi/dwiloading.h"

#include "ui/dwi/simulatortest.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvo {

DWILoading::DWILoading(const QString& simulatorpath, QWidget* parent)
    : QDialog(parent), m_simulatorpath(simulatorpath) {
    setObjectName(QStringLiteral("DWILoading"));
    setWindowTitle(QStringLiteral("Now loading DWI..."));
    auto* text = new QLabel(
        QStringLiteral("Once DWI has exited, close this box to delete the temporary DWI file."),
        this);
    text->setObjectName(QStringLiteral("Label1"));
    text->setWordWrap(true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("Command1"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(close, 0, Qt::AlignHCenter);
    setFixedWidth(300);
}

DWILoading::~DWILoading() {
    removeTestFile();
}

void DWILoading::done(int result) {
    removeTestFile();
    QDialog::done(result);
}

void DWILoading::removeTestFile() {
    if (m_cleaned)
        return;
    m_cleaned = true;
    EmptyTestFolder(m_simulatorpath);
}

} // namespace kolvo

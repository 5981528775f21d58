#include "ui/app/infowindows.h"
#include "ui/platform/closeonescape.h"

#include "core/edit/twips.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvo {

namespace {
void addParagraphs(QVBoxLayout* layout, QWidget* parent, const QStringList& texts) {
    for (const QString& t : texts) {
        auto* l = new QLabel(t, parent);
        l->setWordWrap(true);
        layout->addWidget(l);
    }
}

QPushButton* addCloseButton(QVBoxLayout* layout, QWidget* window, const QString& caption) {
    auto* b = new QPushButton(caption, window);
    b->setObjectName(QStringLiteral("Command1"));
    b->setDefault(true);
    layout->addWidget(b, 0, Qt::AlignRight);
    QObject::connect(b, &QPushButton::clicked, window, &QWidget::close);
    return b;
}
} // namespace

HelpInformation::HelpInformation(AppContext&, QWidget* summaryWindow, QWidget* parent)
    : QWidget(parent, Qt::Window), m_summaryWindow(summaryWindow) {
    setObjectName(QStringLiteral("HelpInformation"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Where to get help"));
    closeOnEscape(this);

    auto* layout = new QVBoxLayout(this);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("Picture1"));
    picture->setFrameShape(QFrame::Box);
    picture->setWordWrap(true);
    picture->setTextFormat(Qt::RichText);
    picture->setText(QStringLiteral(
        "<h3>Stuck? Here is where to get help</h3>"
        "<ul>"
        "<li><b>The readme</b> that came with Kolvo explains every window and menu.</li>"
        "<li><b>The step editor's help button</b> shows how to place arrows and freeze "
        "arrows.</li>"
        "<li><b>The Kolvo web page</b> has the latest version and answers to common "
        "questions.</li>"
        "<li><b>The forums of the dance simulator community</b> are full of people who "
        "write step files and are happy to help.</li>"
        "</ul>"
        "<p>When you ask, say which version you use (Help &gt; About) and what you did "
        "just before the problem.</p>"));
    layout->addWidget(picture);
    closeButton = addCloseButton(layout, this, QStringLiteral("OK"));
    setFixedWidth(twips(6000));

    if (m_summaryWindow)
        m_summaryWindow->setEnabled(false);
}

HelpInformation::~HelpInformation() {
    if (m_summaryWindow)
        m_summaryWindow->setEnabled(true);
}

MusicInfo::MusicInfo(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("MusicInfo"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("MP3 File Location"));
    closeOnEscape(this);
    auto* layout = new QVBoxLayout(this);
    addParagraphs(
        layout, this,
        {QStringLiteral("This version of Kolvo supports the new \\Songs\\ directory format, which "
                        "is compatible with both StepMania and Dance With Intensity."),
         QStringLiteral("In this, the #FILE tag is no longer used, and all the files for a DWI "
                        "file are within the same directory - so while Kolvo needs the location "
                        "of the MP3 file for its Winamp integration, the simulators don't need "
                        "#FILE."),
         QStringLiteral("You now need to provide the music file's full path."),
         QStringLiteral("However, this now means you can use an MP3 file anywhere on your hard "
                        "disk, and Kolvo will still allow it."),
         QStringLiteral("Still want to use it for backward compatibility? Sure, if you want - "
                        "type it into the box. But you can quite happily leave it out.")});
    closeButton = addCloseButton(layout, this, QStringLiteral("Done"));
    setFixedWidth(twips(6000));
}

} // namespace kolvo

#include "ui/summary/songsummarywindow.h"

#include "clicklabel.h"
#include "core/files/digest.h"
#include "core/formats/fileformat.h"
#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "ui/dwi/freezes.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/historyactions.h"
#include "ui/platform/settings.h"
#include "ui/summary/clsopensave.h"
#include "ui/summary/editchartspanel.h"
#include "ui/summary/filecommands.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace kolvo {

namespace {
QLabel* plainLabel(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText);
    return l;
}
} // namespace

QString SongSummaryWindow::titleFor(const QString& songname) {
    const QString app = QStringLiteral("Kolvo DWI Creator");
    return songname.isEmpty() ? app : songname + QStringLiteral(" - ") + app;
}

SongSummaryWindow::SongSummaryWindow(AppContext& ctx, QWidget* parent)
    : QMainWindow(parent), m_ctx(ctx) {
    setObjectName(QStringLiteral("MainMenu"));
    m_files = new FileCommands(ctx, this);

    buildMenus();
    fillRecentMenu();
    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->addWidget(buildFields());
    v->addWidget(buildChartGrid());
    v->addWidget(new EditChartsPanel(
        ctx,
        [this](ChartSlot slot) {
            m_ctx.session.editChart(m_ctx.document.song(), slot);
            openChart(m_ctx.session.currentstyle, m_ctx.session.currentlevel);
        },
        central));
    setCentralWidget(central);

    connectModel();
    showSong(SongChange::everything());

    // Load: start-up is over, the selection starts at Single Basic, a
    // leftover kolvo.ini goes, and the auto-display ticks follow the flags.
    m_ctx.goahead = 10;
    m_ctx.session.currentstyle = 1;
    m_ctx.session.currentlevel = 1;
    const QString ini = dataFilePath(QStringLiteral("kolvo.ini"));
    if (QFile::exists(ini))
        QFile::remove(ini);
    m_autoWideView->setChecked(m_ctx.session.autowide == 1);
    m_autoTransforms->setChecked(m_ctx.session.autotrans == 1);
    m_autoPowerTools->setChecked(m_ctx.session.autopower == 1);

    connectOpeners();

    // A window's first size is held to two thirds of the screen, which
    // squeezed the fields' rows; the window opens whole where the screen
    // has room for it.
    if (const QScreen* s = screen())
        resize(sizeHint().boundedTo(s->availableGeometry().size()));
}

SongSummaryWindow::~SongSummaryWindow() {
    delete m_freezes;
}

QAction* SongSummaryWindow::menuAction(const QString& objectName) const {
    if (auto* a = findChild<QAction*>(objectName))
        return a;
    if (auto* m = findChild<QMenu*>(objectName))
        return m->menuAction();
    return nullptr;
}

ClickLabel* SongSummaryWindow::clickLabel(const QString& objectName) const {
    return findChild<ClickLabel*>(objectName);
}

QRadioButton* SongSummaryWindow::markAsNewOption(int index) const {
    return index >= 0 && index < 3 ? m_markAsNewOptions[std::size_t(index)] : nullptr;
}

void SongSummaryWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    auto addMenu = [](QWidget* owner, const QString& title, const char* name) {
        QMenu* m = nullptr;
        if (auto* mb = qobject_cast<QMenuBar*>(owner))
            m = mb->addMenu(title);
        else
            m = static_cast<QMenu*>(owner)->addMenu(title);
        m->setObjectName(QString::fromLatin1(name));
        m->menuAction()->setObjectName(QString::fromLatin1(name));
        return m;
    };
    auto addItem = [](QMenu* m, const QString& text, const char* name,
                      const QKeySequence& key = QKeySequence()) {
        QAction* a = m->addAction(text);
        a->setObjectName(QString::fromLatin1(name));
        if (!key.isEmpty())
            a->setShortcut(key);
        return a;
    };

    QMenu* file = addMenu(bar, QStringLiteral("&File"), "filemenu");
    connect(addItem(file, QStringLiteral("&New"), "newmenu", QKeySequence(Qt::CTRL | Qt::Key_N)),
            &QAction::triggered, m_files, &FileCommands::newmenu);
    connect(addItem(file, QStringLiteral("&Open Kolvo Work In Progress..."), "openmenu",
                    QKeySequence(Qt::CTRL | Qt::Key_O)),
            &QAction::triggered, m_files, &FileCommands::openmenu);
    connect(addItem(file, QStringLiteral("&Import Step File..."), "importmenu",
                    QKeySequence(Qt::CTRL | Qt::Key_I)),
            &QAction::triggered, m_files, &FileCommands::importmenu);
    m_recent = addMenu(file, QStringLiteral("&Recent Songs"), "recentmenu");
    connect(m_recent, &QMenu::aboutToShow, this, &SongSummaryWindow::fillRecentMenu);
    connect(m_files, &FileCommands::recentChanged, this, &SongSummaryWindow::fillRecentMenu);
    connect(addItem(file, QStringLiteral("&Save As Kolvo Work In Progress..."), "savemenu",
                    QKeySequence(Qt::CTRL | Qt::Key_S)),
            &QAction::triggered, m_files, [this] { m_files->savemenu(); });
    // One entry for each format that exports, in the format list's order.
    for (const FileFormat* format : exportFormats()) {
        const ExportCommand command = *format->exportCommand();
        const QByteArray name = command.objectName.toLatin1();
        connect(addItem(file, command.caption, name.constData(),
                        QKeySequence::fromString(command.shortcut, QKeySequence::PortableText)),
                &QAction::triggered, m_files, [this, format] { m_files->exportmenu(*format); });
    }
    file->addSeparator();
    QAction* exit = addItem(file, QStringLiteral("E&xit"), "exitmenu");
    // Ctrl+X, and the desktop's usual Ctrl+Q. In a text field Ctrl+X cuts.
    exit->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::CTRL | Qt::Key_Q)});
    connect(exit, &QAction::triggered, this, &QWidget::close);

    QMenu* edit = addMenu(bar, QStringLiteral("&Edit"), "editmenu");
    const HistoryActions history = makeHistoryActions(m_ctx.document, this);
    edit->addAction(history.undo);
    edit->addAction(history.redo);
    edit->addSeparator();
    QMenu* del = addMenu(edit, QStringLiteral("&Delete"), "deletemenu");
    const char* styleCaptions[] = {"&Single", "&Double", "&Couple", "S&olo"};
    const char* styleWords[] = {"single", "double", "couple", "solo"};
    const char* levelCaptions[] = {"&Basic...", "&Another...", "&Maniac...", "&S-Maniac..."};
    const char* levelWords[] = {"basic", "another", "maniac", "smaniac"};
    for (int s = 1; s <= kStyles; ++s) {
        const QByteArray sub = QByteArray("del") + styleWords[s - 1] + "menu";
        QMenu* sm = addMenu(del, QString::fromLatin1(styleCaptions[s - 1]), sub.constData());
        for (int l = 1; l <= kLevels; ++l) {
            const QByteArray name =
                QByteArray("del") + styleWords[s - 1] + levelWords[l - 1] + "menu";
            connect(addItem(sm, QString::fromLatin1(levelCaptions[l - 1]), name.constData()),
                    &QAction::triggered, this, [this, s, l] { deletepattern(s, l); });
        }
        const QByteArray beginnerName = QByteArray("del") + styleWords[s - 1] + "beginnermenu";
        connect(addItem(sm, QStringLiteral("Be&ginner..."), beginnerName.constData()),
                &QAction::triggered, this, [this, s] { deletepattern(s, Beginner); });
        const QByteArray editName = QByteArray("del") + styleWords[s - 1] + "editmenu";
        addItem(sm, QStringLiteral("&Edit..."), editName.constData())->setEnabled(false);
    }

    QMenu* tools = addMenu(bar, QStringLiteral("&Tools"), "toolsmenu");
    m_menus.findGap = addItem(tools, QStringLiteral("Find The &Gap..."), "findgapmenu",
                              QKeySequence(Qt::CTRL | Qt::Key_G));
    m_menus.findBpm = addItem(tools, QStringLiteral("Find &BPM..."), "findbpmmenu",
                              QKeySequence(Qt::CTRL | Qt::Key_B));
    m_menus.detectTempo =
        addItem(tools, QStringLiteral("&Detect BPM and Gap..."), "detecttempomenu",
                QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B));
    // Ctrl+U would empty a text field (its "delete line").
    m_menus.checkUpdates =
        addItem(tools, QStringLiteral("Check for &Updates..."), "checkupdatesmenu",
                QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_U));
    m_menus.synchro = addItem(tools, QStringLiteral("&Synchronisation Checker..."), "synchromenu",
                              QKeySequence(Qt::CTRL | Qt::Key_Y));

    QMenu* options = addMenu(bar, QStringLiteral("&Options"), "optionsmenu");
    m_menus.simulatorAddress =
        addItem(options, QStringLiteral("&DDR Simulator Address..."), "ddrlocationmenu");
    m_menus.playerAddress =
        addItem(options, QStringLiteral("&Winamp Address..."), "winamplocationmenu");
    QMenu* autod = addMenu(options, QStringLiteral("&Auto-Display on opening Step Editor..."),
                           "autodisplaymenu");
    m_autoWideView = addItem(autod, QStringLiteral("&Wide View"), "wideviewmenu");
    m_autoTransforms =
        addItem(autod, QStringLiteral("&Transformations"), "autodisplaytransformationsmenu");
    m_autoPowerTools = addItem(autod, QStringLiteral("&Power Tools"), "autodisplaypowertoolsmenu");
    for (QAction* a : {m_autoWideView, m_autoTransforms, m_autoPowerTools})
        a->setCheckable(true);
    connect(m_autoWideView, &QAction::triggered, this, [this] {
        toggleAutoDisplay(m_autoWideView, m_ctx.session.autowide, QStringLiteral("autowide"));
    });
    connect(m_autoTransforms, &QAction::triggered, this, [this] {
        toggleAutoDisplay(m_autoTransforms, m_ctx.session.autotrans, QStringLiteral("autotrans"));
    });
    connect(m_autoPowerTools, &QAction::triggered, this, [this] {
        toggleAutoDisplay(m_autoPowerTools, m_ctx.session.autopower, QStringLiteral("autopower"));
    });

    QMenu* help = addMenu(bar, QStringLiteral("&Help"), "helpmenu");
    m_menus.helpInfo = addItem(help, QStringLiteral("Where to find &Help..."), "helpinfomenu",
                               QKeySequence(Qt::Key_F1));
    m_menus.about = addItem(help, QStringLiteral("&About..."), "aboutmenu");
}

QWidget* SongSummaryWindow::buildFields() {
    auto* box = new QWidget(this);
    auto* g = new QGridLayout(box);
    g->setContentsMargins(0, 0, 0, 0);
    g->setColumnStretch(1, 1);

    for (const SummaryFieldInfo& info : summaryFields()) {
        auto* e = new QLineEdit(box);
        e->setObjectName(QString::fromLatin1(info.controlName));
        const SummaryField f = info.field;
        connect(e, &QLineEdit::textEdited, this,
                [this, f](const QString& t) { m_ctx.document.setField(f, t); });
        if (info.isNumber) {
            e->installEventFilter(this);
            e->setMaximumWidth(110);
        }
        m_fields[std::size_t(f)] = e;
    }
    auto field = [this](SummaryField f) { return m_fields[std::size_t(f)]; };

    int row = 0;
    // Music file, its browse button and its digest.
    m_labels.musicInfo = new ClickLabel(summaryFieldLabel(SummaryField::MusicFile), box);
    m_labels.musicInfo->setObjectName(QStringLiteral("musicinfolabel"));
    g->addWidget(m_labels.musicInfo, row, 0);
    auto* musicRow = new QHBoxLayout;
    musicRow->addWidget(field(SummaryField::MusicFile), 1);
    auto* browse = new QPushButton(QStringLiteral("..."), box);
    browse->setObjectName(QStringLiteral("Command18"));
    browse->setFixedWidth(32);
    connect(browse, &QPushButton::clicked, this, &SongSummaryWindow::browseMusic);
    musicRow->addWidget(browse);
    g->addLayout(musicRow, row++, 1, 1, 3);

    m_musicDigest = new QLineEdit(QStringLiteral("Not found."), box);
    m_musicDigest->setObjectName(QStringLiteral("Text2"));
    m_musicDigest->setReadOnly(true);
    m_musicDigest->setFocusPolicy(Qt::NoFocus);
    m_musicDigest->setFrame(false);
    g->addWidget(m_musicDigest, row++, 1, 1, 3);

    auto addRow = [&](SummaryField f, QWidget* extra = nullptr, const QString& unit = QString()) {
        g->addWidget(plainLabel(summaryFieldLabel(f), box), row, 0);
        auto* h = new QHBoxLayout;
        h->addWidget(field(f), summaryFieldInfo(f).isNumber ? 0 : 1);
        if (!unit.isEmpty())
            h->addWidget(plainLabel(unit, box));
        if (extra) {
            h->addSpacing(12);
            h->addWidget(extra);
        }
        if (h->stretch(0) == 0)
            h->addStretch(1);
        g->addLayout(h, row++, 1, 1, 3);
    };
    addRow(SummaryField::SongName);
    addRow(SummaryField::Artist);
    addRow(SummaryField::Genre);
    m_labels.findBpm = new ClickLabel(QStringLiteral("Find BPM"), box);
    m_labels.findBpm->setObjectName(QStringLiteral("findbpmlabel"));
    addRow(SummaryField::Bpm, m_labels.findBpm);
    m_labels.findGap = new ClickLabel(QStringLiteral("Find gap"), box);
    m_labels.findGap->setObjectName(QStringLiteral("findgaplabel"));
    addRow(SummaryField::Gap, m_labels.findGap, QStringLiteral("ms"));
    addRow(SummaryField::SampleStart, nullptr, QStringLiteral("ms"));
    addRow(SummaryField::SampleLength, nullptr, QStringLiteral("ms"));
    addRow(SummaryField::CdTitle);

    m_labels.fileTag = new ClickLabel(summaryFieldLabel(SummaryField::FileTag), box);
    m_labels.fileTag->setObjectName(QStringLiteral("filetaglabel"));
    g->addWidget(m_labels.fileTag, row, 0);
    g->addWidget(field(SummaryField::FileTag), row++, 1, 1, 3);

    // "Mark as new": three option buttons over the hidden three-state box.
    g->addWidget(plainLabel(QStringLiteral("Mark as new:"), box), row, 0);
    auto* marks = new QHBoxLayout;
    auto* group = new QButtonGroup(box);
    const char* captions[] = {"Normal", "Always", "Never"};
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(captions[i]), box);
        rb->setObjectName(QStringLiteral("Option1"));
        rb->setProperty("index", i);
        group->addButton(rb, i);
        marks->addWidget(rb);
        m_markAsNewOptions[std::size_t(i)] = rb;
    }
    connect(group, &QButtonGroup::idClicked, this, [this](int i) {
        m_ctx.document.setMarkAsNew(i == 0 ? 2 : i == 1 ? 1 : 0);
    });
    m_markAsNewBox = new QCheckBox(QStringLiteral("Invisible Status-New"), box);
    m_markAsNewBox->setObjectName(QStringLiteral("Check1"));
    m_markAsNewBox->setTristate(true);
    m_markAsNewBox->setVisible(false);
    marks->addStretch(1);
    g->addLayout(marks, row++, 1, 1, 3);

    auto* freezes = new QPushButton(QStringLiteral("Arrow freezes / BPM shifts"), box);
    freezes->setObjectName(QStringLiteral("Command17"));
    connect(freezes, &QPushButton::clicked, this, &SongSummaryWindow::openFreezes);
    auto* fr = new QHBoxLayout;
    fr->addWidget(freezes);
    fr->addStretch(1);
    g->addLayout(fr, row++, 1, 1, 3);

    // "After using the BPM and Gap Finder, you should Sync Check, or even
    // better, test in DWI."
    auto* sentence = new QHBoxLayout;
    sentence->setSpacing(0);
    auto* s1 = plainLabel(QStringLiteral("After using the BPM and Gap Finder, you should "), box);
    s1->setObjectName(QStringLiteral("Label25"));
    sentence->addWidget(s1);
    m_labels.syncCheck = new ClickLabel(QStringLiteral("Sync Check"), box);
    m_labels.syncCheck->setObjectName(QStringLiteral("Synchroloader"));
    sentence->addWidget(m_labels.syncCheck);
    auto* s2 = plainLabel(QStringLiteral(", or even better, "), box);
    s2->setObjectName(QStringLiteral("Label26"));
    sentence->addWidget(s2);
    m_labels.tickTest = new ClickLabel(QStringLiteral("test in DWI."), box);
    m_labels.tickTest->setObjectName(QStringLiteral("Label27"));
    sentence->addWidget(m_labels.tickTest);
    sentence->addStretch(1);
    g->addLayout(sentence, row++, 0, 1, 4);
    return box;
}

void SongSummaryWindow::connectModel() {
    connect(&m_ctx.document, &Document::modifiedChanged, this,
            &SongSummaryWindow::showModifiedMark);
    connect(&m_ctx.document, &Document::changed, this, &SongSummaryWindow::showSong);
}

void SongSummaryWindow::showSong(const SongChange& change) {
    if (change.touches(SongChange::Fields)) {
        for (int i = 0; i < kSummaryTextFields; ++i)
            if (change.touchesField(SummaryField(i)))
                showField(SummaryField(i));
        if (!change.field)
            showMarkAsNew(m_ctx.document.song().markAsNew());
    }
    // A chart given data or wiped (by any window, an undo or a new song)
    // shows on its button at once.
    if (change.touches(SongChange::Flags))
        datacheck();
}

void SongSummaryWindow::showField(SummaryField f) {
    QLineEdit* e = m_fields[std::size_t(f)];
    const QString& text = m_ctx.document.song().field(f);
    if (e->text() != text)
        e->setText(text);
    if (f == SummaryField::SongName) {
        setWindowTitle(titleFor(text));
        showModifiedMark();
    } else if (f == SummaryField::MusicFile)
        updateDigest();
}

// The title's text stays the song's; an unsaved song shows as the window's
// modified state, and the title the desktop shows carries a mark.
void SongSummaryWindow::showModifiedMark() {
    const bool modified = m_ctx.document.isModified();
    // The widget's modified state without a "[*]" in the title's text (the
    // text is the song's); the mark goes on the title the desktop shows.
    setAttribute(Qt::WA_WindowModified, modified);
    if (QWindow* handle = windowHandle())
        handle->setTitle(modified ? windowTitle() + QStringLiteral(" *") : windowTitle());
}

void SongSummaryWindow::showMarkAsNew(int value) {
    m_markAsNewBox->setCheckState(value == 2   ? Qt::PartiallyChecked
                                  : value == 1 ? Qt::Checked
                                               : Qt::Unchecked);
    const int index = value == 2 ? 0 : value == 1 ? 1 : value == 0 ? 2 : -1;
    if (index >= 0)
        m_markAsNewOptions[std::size_t(index)]->setChecked(true);
}

void SongSummaryWindow::updateDigest() {
    m_musicDigest->setText(QStringLiteral("Stand by..."));
    m_musicDigest->repaint();
    m_musicDigest->setText(DigestFile(m_ctx.document.song().musicadd()));
}

bool SongSummaryWindow::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::FocusOut)
        if (auto* edit = qobject_cast<QLineEdit*>(watched))
            leaveField(edit);
    return QMainWindow::eventFilter(watched, e);
}

void SongSummaryWindow::leaveField(QLineEdit* edit) {
    for (const SummaryFieldInfo& info : summaryFields()) {
        if (!info.isNumber || m_fields[std::size_t(info.field)] != edit)
            continue;
        commitField(info.field, edit->text());
        return;
    }
}

void SongSummaryWindow::commitField(SummaryField f, const QString& text) {
    QString clean = normalizedNumberText(text);
    if (f == SummaryField::Gap && numericValue(clean) < 0)
        clean = QStringLiteral("0");
    m_ctx.document.setField(f, clean);
    showField(f);
}

void SongSummaryWindow::browseMusic() {
    clsOpenSave& d = m_files->dialog();
    d.setFilter(QStringLiteral("Music File (*.wav, *.mp3, *.ogg)|*.wav;*.mp3;*.ogg"));
    // No leftover "kolvo" or "dwi" from the last work-file dialog gets added
    // to a music file name typed without an extension.
    d.setDefaultExt(QString());
    d.setInitDir(m_ctx.simulatorpath);
    d.setFileName(QString());
    d.setFlags(clsOpenSave::OFN_FILEMUSTEXIST);
    d.ShowOpen();
    m_ctx.document.closeMerging();
    m_ctx.document.setField(SummaryField::MusicFile, d.FileName());
}

void SongSummaryWindow::openFreezes() {
    if (m_freezes)
        return;
    auto* w = new Freezes(m_ctx, this);
    m_freezes = w;
    w->show();
}

bool SongSummaryWindow::openFile(const QString& path) {
    return m_files->openAnyFile(path);
}

void SongSummaryWindow::fillRecentMenu() {
    // Later, not now: the list changes while one of its entries runs.
    for (QAction* a : m_recent->actions()) {
        m_recent->removeAction(a);
        a->setObjectName(QString());
        a->deleteLater();
    }
    const QStringList songs = FileCommands::recentSongs();
    for (qsizetype i = 0; i < songs.size(); ++i) {
        // "&1 song.kolvo  (/home/me/songs)": the key, the name, the folder.
        const QFileInfo fi(songs[i]);
        const QString number = i < 9 ? u'&' + QString::number(i + 1) : QStringLiteral("1&0");
        auto plain = [](QString s) { return s.replace(u'&', QStringLiteral("&&")); };
        const QString caption = number + u' ' + plain(fi.fileName()) + QStringLiteral("  (") +
                                plain(QDir::toNativeSeparators(fi.absolutePath())) + u')';
        QAction* a = m_recent->addAction(caption);
        a->setObjectName(QStringLiteral("recentsong%1").arg(i + 1));
        const QString path = songs[i];
        connect(a, &QAction::triggered, m_files, [this, path] { m_files->openRecent(path); });
    }
    if (songs.isEmpty())
        m_recent->addAction(QStringLiteral("(none)"))->setEnabled(false);
}

void SongSummaryWindow::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    showModifiedMark(); // the window handle exists from now on
}

void SongSummaryWindow::closeEvent(QCloseEvent* e) {
    // While another window holds this one, its close box does nothing: the
    // window manager still sends the request to a disabled window.
    if (e->spontaneous() && !isEnabled()) {
        e->ignore();
        return;
    }
    if (!m_files->mayClose()) {
        e->ignore();
        return;
    }
    if (m_freezes)
        m_freezes->close();
    e->accept();
    emit closed();
}

} // namespace kolvo

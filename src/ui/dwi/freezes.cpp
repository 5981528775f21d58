#include "ui/dwi/freezes.h"

#include "core/song/numbertext.h"
#include "core/song/songmodel.h"
#include "ui/platform/appcontext.h"
#include "ui/platform/historyactions.h"
#include "ui/platform/messageboxes.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolvo {

namespace {
const QString kBarMessage =
    QStringLiteral("Invalid Bar Value: needed: whole number from 1 to %1").arg(kMaxBars);
const QString kBeatMessage = QStringLiteral("Invalid Beat Value: needed: 1, 2, 3 or 4");

QString bar3(int bar) {
    return QStringLiteral("%1").arg(bar, 3, 10, QChar(u'0'));
}

// A list line's event: where it stands and which channel, kept with the line.
constexpr int kTickRole = Qt::UserRole;
constexpr int kChannelRole = Qt::UserRole + 1;
constexpr ChartSlot kSongSlot = SongModel::slotOf(Single, Basic);

// The beat of a row as the list shows it: "3", or "2.5" between beats.
QString beatText(Tick tick) {
    return canonicalNumberText(1.0 + double(fineRowOfTick(tick)) / kFineRowsPerBeat);
}

// One line of a frame: "At bar # [bar] beat [beat] ," / "<verb> [value] <unit>".
QGroupBox* eventFrame(QWidget* parent, const QString& title, const QString& verb,
                      const QString& unit, QLineEdit* bar, QLineEdit* beat, QLineEdit* value,
                      QPushButton* add) {
    auto* box = new QGroupBox(title, parent);
    auto* v = new QVBoxLayout(box);
    auto* l1 = new QHBoxLayout;
    l1->addWidget(new QLabel(QStringLiteral("At bar #"), box));
    bar->setFixedWidth(48);
    l1->addWidget(bar);
    l1->addWidget(new QLabel(QStringLiteral("beat"), box));
    beat->setFixedWidth(32);
    l1->addWidget(beat);
    l1->addWidget(new QLabel(QStringLiteral(","), box));
    l1->addStretch(1);
    auto* l2 = new QHBoxLayout;
    l2->addWidget(new QLabel(verb, box));
    value->setFixedWidth(72);
    l2->addWidget(value);
    l2->addWidget(new QLabel(unit, box));
    l2->addStretch(1);
    v->addLayout(l1);
    v->addLayout(l2);
    v->addWidget(add);
    return box;
}
} // namespace

QString Freezes::bpmLine(const QString& bar, const QString& beat, const QString& value) {
    return QStringLiteral("At ") + bar + u':' + beat + QStringLiteral(", BPM changes to ") + value;
}

QString Freezes::freezeLine(const QString& bar, const QString& beat, const QString& value) {
    return QStringLiteral("At ") + bar + u':' + beat + QStringLiteral(", freeze for ") + value +
           QStringLiteral("ms");
}

Freezes::Freezes(AppContext& ctx, QWidget* summaryWindow)
    : QWidget(nullptr, Qt::Window), m_ctx(ctx), m_summary(summaryWindow) {
    setObjectName(QStringLiteral("Freezes"));
    setWindowTitle(QStringLiteral("Set Freeze/BPM Changes"));
    setAttribute(Qt::WA_DeleteOnClose);
    // It is the summary window that ends the program, not this one.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto box = [this](const char* name) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        return edit;
    };
    m_bpmBar = box("Text1");
    m_bpmBeat = box("Text2");
    m_bpmValue = box("Text3");
    m_freezeBar = box("Text4");
    m_freezeBeat = box("Text5");
    m_freezeValue = box("Text6");
    auto* addBpm = new QPushButton(QStringLiteral("Add BPM Change"), this);
    addBpm->setObjectName(QStringLiteral("Command3"));
    auto* addFreeze = new QPushButton(QStringLiteral("Add Arrow Freeze"), this);
    addFreeze->setObjectName(QStringLiteral("Command4"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setMinimumWidth(240);
    auto* del = new QPushButton(QStringLiteral("Delete selected item"), this);
    del->setObjectName(QStringLiteral("Command2"));
    auto* back = new QPushButton(QStringLiteral("Return to Song Summary"), this);
    back->setObjectName(QStringLiteral("Command1"));

    auto* frames = new QVBoxLayout;
    frames->addWidget(eventFrame(this, QStringLiteral("Add BPM Change"),
                                 QStringLiteral("change the BPM to"), QStringLiteral("."), m_bpmBar,
                                 m_bpmBeat, m_bpmValue, addBpm));
    frames->addWidget(eventFrame(this, QStringLiteral("Add Arrow Freeze"),
                                 QStringLiteral("stop the arrows for"), QStringLiteral("ms."),
                                 m_freezeBar, m_freezeBeat, m_freezeValue, addFreeze));
    frames->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(m_list, 1);
    right->addWidget(del);
    right->addWidget(back);
    auto* top = new QHBoxLayout(this);
    top->addLayout(frames);
    top->addLayout(right, 1);

    connect(addBpm, &QPushButton::clicked, this, [this] {
        addEvent(BPMCHANNEL, m_bpmBar, m_bpmBeat, m_bpmValue, QStringLiteral("Invalid BPM value."));
    });
    connect(addFreeze, &QPushButton::clicked, this, [this] {
        addEvent(FREEZECHANNEL, m_freezeBar, m_freezeBeat, m_freezeValue,
                 QStringLiteral("Invalid Freeze Time value."));
    });
    connect(del, &QPushButton::clicked, this, &Freezes::deleteSelected);
    connect(back, &QPushButton::clicked, this, &QWidget::close);

    if (m_summary)
        m_summary->setEnabled(false);
    fillList();

    // Undo and redo work here while this window has the input; an undone
    // or redone tempo event shows in the list at once.
    makeHistoryActions(m_ctx.document, this);
    connect(&m_ctx.document, &Document::changed, this, [this](const SongChange& change) {
        if (!m_editing && change.touches(SongChange::Tempo)) {
            m_list->clear();
            fillList();
        }
    });
}

Freezes::~Freezes() {
    unload();
}

void Freezes::closeEvent(QCloseEvent* e) {
    unload();
    QWidget::closeEvent(e);
}

void Freezes::unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    if (m_summary)
        m_summary->setEnabled(true);
}

void Freezes::fillList() {
    // Every event of the song, whatever its row; cells are sorted by row,
    // a BPM change before a freeze on the same row.
    for (const TempoCell& c : m_ctx.document.song().songTempoCells()) {
        if (!(c.value > 0))
            continue;
        const QString b = bar3(barOfTick(c.tick));
        const QString value = canonicalNumberText(c.value);
        addLine(c.channel == BPMCHANNEL ? bpmLine(b, beatText(c.tick), value)
                                        : freezeLine(b, beatText(c.tick), value),
                c.tick, c.channel);
    }
}

void Freezes::addLine(const QString& line, Tick tick, int channel) {
    // By bar, then beat, a BPM change before a freeze at the same beat.
    auto before = [&](const QListWidgetItem* item) {
        const Tick t = item->data(kTickRole).toInt();
        return t < tick || (t == tick && item->data(kChannelRole).toInt() <= channel);
    };
    int at = 0;
    while (at < m_list->count() && before(m_list->item(at)))
        ++at;
    auto* item = new QListWidgetItem(line);
    item->setData(kTickRole, int(tick));
    item->setData(kChannelRole, channel);
    m_list->insertItem(at, item);
}

void Freezes::addEvent(int channel, QLineEdit* bar, QLineEdit* beat, QLineEdit* value,
                       const QString& valueMessage) {
    auto refuse = [this](const QString& message) {
        m_ctx.boxes.show(this, message, QStringLiteral("Kolvo"), MsgButtons::Ok, MsgIcon::Critical);
    };
    const double barValue = numericValue(bar->text());
    if (!isWellFormedWholeNumber(bar->text()) || barValue < 1 || barValue > kMaxBars)
        return refuse(kBarMessage);
    const double beatValue = numericValue(beat->text());
    if (!isWellFormedWholeNumber(beat->text()) || beatValue < 1 || beatValue > 4)
        return refuse(kBeatMessage);
    const double amount = numericValue(value->text());
    if (!isWellFormedNumber(value->text()) || !(amount > 0))
        return refuse(valueMessage);

    const int barNumber = int(barValue);
    const int beatNumber = int(beatValue);
    bar->setText(bar3(barNumber));
    const Tick tick = tickOf(barNumber, (beatNumber - 1) * kFineRowsPerBeat);
    // A new event on the row of one already listed takes its place.
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->data(kTickRole).toInt() == tick &&
            m_list->item(i)->data(kChannelRole).toInt() == channel) {
            delete m_list->takeItem(i);
            break;
        }
    m_editing = true;
    m_ctx.document.setTempoAt(kSongSlot, tick, channel, amount);
    m_editing = false;
    addLine(channel == BPMCHANNEL ? bpmLine(bar->text(), beat->text(), value->text())
                                  : freezeLine(bar->text(), beat->text(), value->text()),
            tick, channel);
    bar->clear();
    beat->clear();
    value->clear();
}

void Freezes::deleteSelected() {
    QListWidgetItem* item = m_list->currentItem();
    if (!item || !item->isSelected())
        return;
    const QVariant tick = item->data(kTickRole);
    const int channel = item->data(kChannelRole).toInt();
    if (!tick.isValid())
        return;
    m_editing = true;
    m_ctx.document.setTempoAt(kSongSlot, tick.toInt(), channel, std::nullopt);
    m_editing = false;
    delete m_list->takeItem(m_list->row(item));
}

} // namespace kolvo

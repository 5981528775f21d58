#include "ui/summary/editchartspanel.h"

#include "ui/platform/appcontext.h"
#include "ui/platform/messageboxes.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace kolvo {

namespace {

// The step files write a description between separators they do not
// escape; a name holding one would break every file it is written to.
constexpr QStringView kForbidden = u":;#\\\"";
constexpr int kLongestDescription = 64;

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

EditChartsPanel::EditChartsPanel(AppContext& ctx, std::function<void(ChartSlot)> open,
                                 QWidget* parent)
    : QGroupBox(QStringLiteral("Edit Charts"), parent), m_ctx(ctx), m_open(std::move(open)) {
    setObjectName(QStringLiteral("editcharts"));
    auto* grid = new QGridLayout(this);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("editchartlist"));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setMaximumHeight(90);
    grid->addWidget(m_list, 0, 0, 3, 1);

    auto* row = new QHBoxLayout;
    m_style = new QComboBox(this);
    m_style->setObjectName(QStringLiteral("editchartstyle"));
    for (int s = 1; s <= kStyles; ++s)
        m_style->addItem(styleName(s), s);
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("editchartname"));
    m_name->setPlaceholderText(QStringLiteral("Description"));
    m_name->setMaxLength(kLongestDescription);
    row->addWidget(m_style);
    row->addWidget(m_name, 1);
    grid->addLayout(row, 0, 1, 1, 2);

    m_new = button(QStringLiteral("&New"), "neweditchart", this);
    m_rename = button(QStringLiteral("&Rename"), "renameeditchart", this);
    m_delete = button(QStringLiteral("De&lete..."), "deleteeditchart", this);
    m_openButton = button(QStringLiteral("&Open"), "openeditchart", this);
    grid->addWidget(m_new, 1, 1);
    grid->addWidget(m_rename, 1, 2);
    grid->addWidget(m_openButton, 2, 1);
    grid->addWidget(m_delete, 2, 2);
    grid->setColumnStretch(0, 1);

    connect(m_new, &QPushButton::clicked, this, &EditChartsPanel::newChart);
    connect(m_rename, &QPushButton::clicked, this, &EditChartsPanel::renameChart);
    connect(m_delete, &QPushButton::clicked, this, &EditChartsPanel::deleteChart);
    connect(m_openButton, &QPushButton::clicked, this, &EditChartsPanel::openChart);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &EditChartsPanel::openChart);
    connect(m_list, &QListWidget::itemSelectionChanged, this, &EditChartsPanel::selectionChanged);
    connect(&m_ctx.document, &Document::changed, this, &EditChartsPanel::showCharts);
    refill();
}

std::optional<QString> EditChartsPanel::descriptionProblem(const SongModel& song, int style,
                                                           const QString& description,
                                                           ChartSlot except) {
    if (description.trimmed().isEmpty())
        return QStringLiteral("Type a description for the Edit chart first.");
    if (description != description.trimmed())
        return QStringLiteral("A description cannot begin or end with a blank.");
    if (description.size() > kLongestDescription)
        return QStringLiteral("A description can be at most %1 characters long.")
            .arg(kLongestDescription);
    for (QChar c : description)
        if (kForbidden.contains(c) || c.category() == QChar::Other_Control)
            return QStringLiteral("A description cannot hold %1, which step files use to "
                                  "separate their values, nor line breaks.")
                .arg(QStringLiteral(": ; # \\ \""));
    for (ChartSlot slot = ChartSlot(kChartSlots); slot < song.chartSlots(); ++slot) {
        const Chart& c = song.chart(slot);
        if (slot != except && c.style == style && c.level == Edit && c.description == description)
            return QStringLiteral("%1 already has an Edit chart named \"%2\".")
                .arg(styleName(style), description);
    }
    return std::nullopt;
}

ChartSlot EditChartsPanel::selectedChart() const {
    const QListWidgetItem* item = m_list->currentItem();
    return item && item->isSelected() ? item->data(Qt::UserRole).toInt() : -1;
}

bool EditChartsPanel::checkDescription(int style, const QString& description, ChartSlot except) {
    const auto problem = descriptionProblem(m_ctx.document.song(), style, description, except);
    if (!problem)
        return true;
    m_ctx.boxes.show(window(), *problem, QStringLiteral("Edit Chart"), MsgButtons::Ok,
                     MsgIcon::Exclamation);
    return false;
}

void EditChartsPanel::newChart() {
    const int style = m_style->currentData().toInt();
    const QString description = m_name->text();
    if (!checkDescription(style, description, -1))
        return;
    const ChartSlot slot = m_ctx.document.addEditChart(style, description);
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->data(Qt::UserRole).toInt() == slot)
            m_list->setCurrentRow(i);
    m_name->clear();
}

void EditChartsPanel::renameChart() {
    const ChartSlot slot = selectedChart();
    if (slot < 0)
        return;
    const QString description = m_name->text();
    if (!checkDescription(m_ctx.document.song().chart(slot).style, description, slot))
        return;
    m_ctx.document.renameChart(slot, description);
    m_name->clear();
}

void EditChartsPanel::deleteChart() {
    const ChartSlot slot = selectedChart();
    if (slot < 0)
        return;
    const QString text = QStringLiteral("WARNING! This will delete the entire ") +
                         m_ctx.document.song().chart(slot).name() +
                         QStringLiteral(" step sequence! Are you sure you want to continue?");
    if (m_ctx.boxes.show(window(), text, QStringLiteral("Are you sure?"), MsgButtons::YesNo,
                         MsgIcon::Question) == MsgAnswer::Yes)
        m_ctx.document.removeChart(slot);
}

void EditChartsPanel::openChart() {
    const ChartSlot slot = selectedChart();
    if (slot >= 0 && m_open)
        m_open(slot);
}

void EditChartsPanel::showCharts(const SongChange& change) {
    if (change.touches(SongChange::Flags))
        refill();
}

void EditChartsPanel::refill() {
    const SongModel& song = m_ctx.document.song();
    const ChartSlot selected = selectedChart();
    const QSignalBlocker quiet(m_list);
    m_list->clear();
    for (ChartSlot slot = ChartSlot(kChartSlots); slot < song.chartSlots(); ++slot) {
        const Chart& c = song.chart(slot);
        if (!c.dance() || c.level != Edit)
            continue;
        auto* item = new QListWidgetItem(c.name(), m_list);
        item->setData(Qt::UserRole, slot);
        if (slot == selected)
            m_list->setCurrentItem(item);
    }
    selectionChanged();
}

void EditChartsPanel::selectionChanged() {
    const bool chosen = selectedChart() >= 0;
    m_rename->setEnabled(chosen);
    m_delete->setEnabled(chosen);
    m_openButton->setEnabled(chosen);
}

} // namespace kolvo

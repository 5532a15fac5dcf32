#include "ovui/OvListBase.h"

#include <algorithm>
#include <cmath>

#include <QAbstractTableModel>
#include <QAccessible>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

namespace {

constexpr int kCellMargin = 4;  // between a cell's edges and its text

// Whether text fits width pixels as a cell draws it: the elision works on
// fractional advances, so a width rounded down would cut the last letter.
bool TextFits(const QFont& font, const QString& text, int width) {
    return QFontMetricsF(font).horizontalAdvance(text) <= width;
}

}  // namespace

// The virtual model: a row count and the owner's column titles; cell texts are
// asked of the owner whenever someone reads them.
class COvListModel final : public QAbstractTableModel {
public:
    explicit COvListModel(COvListBase* owner) : QAbstractTableModel(owner), m_owner(owner) {}

    // Indexes carry a scrambled id: Qt hashes an index as (row << 4) + column +
    // id, and with id 0 the persistent indexes of a selection crowd into a
    // few hash buckets, so that every selection change probes long runs.
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (parent.isValid() || row < 0 || column < 0 || row >= m_rows || column >= m_owner->GetColumnCount()) {
            return {};
        }
        const auto key = (static_cast<quintptr>(row) << 8) | static_cast<quintptr>(column);
        return createIndex(row, column, static_cast<quintptr>(key * 0x9E3779B97F4A7C15ull));
    }
    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : m_owner->GetColumnCount();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= m_rows) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return m_owner->OnGetItemText(index.row(), index.column());
        }
        return {};
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
            section < m_owner->GetColumnCount()) {
            return m_owner->m_columns[static_cast<std::size_t>(section)].title;
        }
        if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole) {
            return QVariant::fromValue(
                (m_owner->GetColumnFormat(section) == OVLC_FMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) |
                Qt::AlignVCenter);
        }
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    int Rows() const noexcept { return m_rows; }
    void SetRows(int rows) {
        if (rows > m_rows) {
            // One insertion for every appended row; the last row is inclusive.
            beginInsertRows({}, m_rows, rows - 1);
            m_rows = rows;
            endInsertRows();
        } else if (rows == 0 && m_rows > 0) {
            beginResetModel();
            m_rows = 0;
            endResetModel();
        } else if (rows < m_rows) {
            beginRemoveRows({}, rows, m_rows - 1);
            m_rows = rows;
            endRemoveRows();
        }
    }
    void AddColumn(int column) {
        beginInsertColumns({}, column, column);
        endInsertColumns();
    }
    void TitleChanged(int column) { emit headerDataChanged(Qt::Horizontal, column, column); }

private:
    COvListBase* m_owner;
    int m_rows = 0;
};

// Paints one cell from the owner's texts and colours.
class COvListDelegate final : public QStyledItemDelegate {
public:
    explicit COvListDelegate(COvListBase* owner) : QStyledItemDelegate(owner), m_owner(owner) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int row = index.row();
        const int column = index.column();
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QModelIndex current = m_owner->currentIndex();
        const bool focused = current.isValid() && current.row() == row;
        painter->fillRect(option.rect, m_owner->OnGetItemBkColor(row, column, selected, focused));
        const QRect box = option.rect.adjusted(kCellMargin, 0, -kCellMargin, 0);
        bool fits = false;
        QString text = m_owner->GetDisplayText(row, column, box.width(), &fits);
        // A text measured in this font is not laid out once more to be
        // elided: every visible row is painted again when the list scrolls.
        if (!fits || option.font != m_owner->font()) {
            text = option.fontMetrics.elidedText(text, Qt::ElideRight, box.width());
        }
        const Qt::Alignment align =
            (m_owner->GetColumnFormat(column) == OVLC_FMT_CENTER ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
        painter->setPen(m_owner->OnGetItemTextColor(row, column, selected, focused));
        painter->drawText(box, static_cast<int>(align) | Qt::TextSingleLine, text);
    }

private:
    COvListBase* m_owner;
};

COvListBase::COvListBase(QWidget* parent) : QTableView(parent), m_model(new COvListModel(this)) {
    setModel(m_model);
    setItemDelegate(new COvListDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setTabKeyNavigation(false);

    // Fixed row heights keep a list of thousands of rows cheap to lay out.
    QHeaderView* rows = verticalHeader();
    rows->setVisible(false);
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);
    rows->setMinimumSectionSize(fontMetrics().height() + 2);

    QHeaderView* header = horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setHighlightSections(false);
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        // Widths the user drags are kept; a hidden column reports 0 and keeps its own.
        if (column >= 0 && column < GetColumnCount() && !isColumnHidden(column) && width > 0) {
            m_columns[static_cast<std::size_t>(column)].width = width;
        }
    });
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
        if (m_sortEnabled) {
            emit headerClicked(column);
        }
    });
}

COvListBase::~COvListBase() = default;

int COvListBase::AddColumn(const QString& title, int width, int format, int flags) {
    const int column = GetColumnCount();
    m_columns.push_back(Column{title, width, format, flags});
    m_model->AddColumn(column);
    UpdateColumn(column);
    return column;
}

void COvListBase::SetColumnFormat(int column, int format) {
    if (column < 0 || column >= GetColumnCount()) {
        return;
    }
    m_columns[static_cast<std::size_t>(column)].format = format;
    UpdateColumn(column);
}

int COvListBase::GetColumnFormat(int column) const noexcept {
    if (column < 0 || column >= GetColumnCount()) {
        return 0;
    }
    return m_columns[static_cast<std::size_t>(column)].format;
}

void COvListBase::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= GetColumnCount() || width < 0) {
        return;
    }
    m_columns[static_cast<std::size_t>(column)].width = width;
    if (!isColumnHidden(column)) {
        horizontalHeader()->resizeSection(column, width);
    }
}

int COvListBase::GetColumnWidth(int column) const {
    if (column < 0 || column >= GetColumnCount() || isColumnHidden(column)) {
        return 0;
    }
    return columnWidth(column);
}

void COvListBase::UpdateColumn(int column) {
    if (column < 0 || column >= GetColumnCount()) {
        return;
    }
    const Column& c = m_columns[static_cast<std::size_t>(column)];
    const bool hidden = c.format == OVLC_FMT_HIDDEN;
    setColumnHidden(column, hidden);
    if (!hidden) {
        horizontalHeader()->resizeSection(column, c.width);
    }
    m_model->TitleChanged(column);
    viewport()->update();
}

void COvListBase::SetEnableSort(bool enable) {
    m_sortEnabled = enable;
    horizontalHeader()->setSectionsClickable(enable);
}

int COvListBase::GetItemCount() const noexcept {
    return m_model->Rows();
}

void COvListBase::SetItemCount(int count, unsigned flags) {
    const int rows = std::max(count, 0);
    m_rowsAdded = m_rowsAdded || rows > m_model->Rows();
    m_model->SetRows(rows);
    if ((flags & OVLC_NOINVALIDATEALL) == 0) {
        InvalidateRows();
    }
}

void COvListBase::EnsureVisible(int row) {
    if (row >= 0 && row < GetItemCount()) {
        // Rows appended since the last layout are not in the scroll range yet.
        if (m_rowsAdded) {
            updateGeometries();
            m_rowsAdded = false;
        }
        scrollTo(m_model->index(row, 0), QAbstractItemView::EnsureVisible);
    }
}

int COvListBase::GetTopIndex() const {
    const int row = rowAt(0);
    return row < 0 ? 0 : row;
}

void COvListBase::InvalidateRows() {
    viewport()->update();
}

void COvListBase::SelectAll() {
    selectAll();
}

std::vector<int> COvListBase::GetSelectedRows() const {
    std::vector<int> rows;
    const QItemSelection selection = selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool COvListBase::IsRowSelected(int row) const {
    return row >= 0 && row < GetItemCount() && selectionModel()->isRowSelected(row, {});
}

void COvListBase::SetRowSelected(int row, bool selected) {
    if (row < 0 || row >= GetItemCount()) {
        return;
    }
    selectionModel()->select(
        m_model->index(row, 0),
        (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) | QItemSelectionModel::Rows);
}

int COvListBase::GetFocusRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

void COvListBase::SetFocusRow(int row) {
    if (row >= 0 && row < GetItemCount()) {
        selectionModel()->setCurrentIndex(m_model->index(row, 0), QItemSelectionModel::NoUpdate);
    }
}

void COvListBase::ShiftSelectionUp(int rows) {
    if (rows <= 0) {
        return;
    }
    QItemSelectionModel* selection = selectionModel();
    const int lastColumn = std::max(GetColumnCount() - 1, 0);
    QItemSelection shifted;
    const QItemSelection ranges = selection->selection();
    for (const QItemSelectionRange& range : ranges) {
        const int bottom = range.bottom() - rows;
        if (bottom < 0) {
            continue;  // every row of the range has left
        }
        const int top = std::max(range.top() - rows, 0);
        shifted.append(QItemSelectionRange(m_model->index(top, 0), m_model->index(bottom, lastColumn)));
    }
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.row() > 0) {
        // Moving the focus with its row must not scroll the list to it.
        const bool scrolls = hasAutoScroll();
        setAutoScroll(false);
        selection->setCurrentIndex(m_model->index(std::max(current.row() - rows, 0), current.column()),
                                   QItemSelectionModel::NoUpdate);
        setAutoScroll(scrolls);
    }
    if (ranges.isEmpty()) {
        return;
    }
    // Clearing first and then selecting lets the selection model report each
    // step without comparing every old range with every new one.
    selection->clearSelection();
    selection->select(shifted, QItemSelectionModel::Select);
}

QString COvListBase::GetSelectedText() const {
    QString text;
    for (const int row : GetSelectedRows()) {
        for (int column = 0; column < GetColumnCount(); ++column) {
            if (column > 0) {
                text += QLatin1Char('\t');
            }
            text += OnGetItemText(row, column);
        }
        text += QLatin1String("\r\n");
    }
    return text;
}

QString COvListBase::GetSelectedColumnText(int column) const {
    QString text;
    if (column < 0 || column >= GetColumnCount()) {
        return text;
    }
    for (const int row : GetSelectedRows()) {
        text += OnGetItemText(row, column);
        text += QLatin1String("\r\n");
    }
    return text;
}

namespace {

bool PutOnClipboard(const QString& text) {
    if (text.isEmpty()) {
        return false;
    }
    QGuiApplication::clipboard()->setText(text);
    return true;
}

}  // namespace

bool COvListBase::CopyAsText() const {
    return PutOnClipboard(GetSelectedText());
}

bool COvListBase::CopyColumn(int column) const {
    return PutOnClipboard(GetSelectedColumnText(column));
}

void COvListBase::SetShowGrid(bool show, bool redraw) {
    setShowGrid(show);
    if (redraw) {
        viewport()->update();
    }
}

void COvListBase::SetHeaderVisible(bool visible) {
    horizontalHeader()->setVisible(visible);
}

bool COvListBase::IsHeaderVisible() const {
    return !horizontalHeader()->isHidden();
}

void COvListBase::SetEmptyPrompt(const QString& prompt) {
    m_prompt = prompt;
    viewport()->update();
}

QColor COvListBase::GetTextColor() const {
    return palette().color(QPalette::Text);
}

QColor COvListBase::GetBkColor() const {
    return palette().color(QPalette::Base);
}

QString COvListBase::GetDisplayText(int row, int column, int width, bool* fits) const {
    QString text = OnGetItemText(row, column);
    bool measured = false;
    if (column >= 0 && column < GetColumnCount() &&
        (m_columns[static_cast<std::size_t>(column)].flags & OVLC_FLAG_ALTTEXT) != 0) {
        measured = TextFits(font(), text, width);
        if (!measured) {
            text = OnGetItemAltText(row, column);
        }
    }
    if (fits != nullptr) {
        *fits = measured;
    }
    return text;
}

int COvListBase::GetCellWidth(const QString& text) const {
    return static_cast<int>(std::ceil(QFontMetricsF(font()).horizontalAdvance(text))) + 2 * kCellMargin;
}

void COvListBase::scrollTo(const QModelIndex& index, ScrollHint hint) {
    QScrollBar* sideways = horizontalScrollBar();
    const int x = sideways->value();
    QTableView::scrollTo(index, hint);
    sideways->setValue(x);
}

QString COvListBase::OnGetItemText(int, int) const {
    return {};
}

QString COvListBase::OnGetItemAltText(int item, int subItem) const {
    return OnGetItemText(item, subItem);
}

QColor COvListBase::OnGetItemTextColor(int, int, bool selected, bool) const {
    return selected ? palette().color(QPalette::HighlightedText) : GetTextColor();
}

QColor COvListBase::OnGetItemBkColor(int, int, bool selected, bool) const {
    return selected ? palette().color(QPalette::Highlight) : GetBkColor();
}

void COvListBase::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (GetItemCount() == 0 && !m_prompt.isEmpty()) {
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::PlaceholderText));
        const QRect box = viewport()->rect().adjusted(8, 8, -8, -8);
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_prompt);
    }
}

void COvListBase::keyPressEvent(QKeyEvent* event) {
    // Copying is the owner's command; the table's own copy of one cell stays out.
    if (event == QKeySequence::Copy) {
        event->ignore();
        return;
    }
    // Rows are selected whole: the arrows to the sides scroll the list.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        horizontalScrollBar()->triggerAction(event->key() == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                                          : QAbstractSlider::SliderSingleStepAdd);
        return;
    }
    QTableView::keyPressEvent(event);
}

void COvListBase::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    // Selected rows are coloured whole; repainting the visible rows is cheaper
    // than working out the region of many ranges.
    if (QAccessible::isActive()) {
        QTableView::selectionChanged(selected, deselected);
    }
    viewport()->update();
}

void COvListBase::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    // The focus flag colours whole rows: repaint both rows.
    viewport()->update();
}

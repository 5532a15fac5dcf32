#include "LogListView.h"

#include <algorithm>
#include <array>

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>

#include "ViewIds.h"
#include "ViewText.h"
#include "ovui/LightColor.h"
#include "ovui/OvCommand.h"
#include "ovui/OvPictures.h"

namespace {

struct ColumnDef {
    unsigned id;
    const char16_t* title;
    int width;
};

constexpr ColumnDef kColumns[kColCount] = {
    {33021, u"TimeStamp", 120}, {33022, u"Status", 150}, {33023, u"Bytes", 50},
    {33024, u"RTime", 80},      {33025, u"TTL", 40},
};
constexpr int kInitialFormat = OVLC_FMT_LEFT;
constexpr int kColumnFlags = OVLC_FLAG_ALTTEXT;
constexpr int kTableTimeStampWidth = 150;

const QColor kLostText(255, 0, 0);
const QColor kFocusBackground(100, 100, 200);

// The digit with the largest advance in font.
QChar WidestDigit(const QFont& font) {
    const QFontMetricsF metrics(font);
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest)) {
            widest = QChar(digit);
        }
    }
    return widest;
}

}  // namespace

CLogListView::CLogListView(COvPingDoc& doc, QWidget* parent)
    : COvListView(parent),
      m_doc(doc),
      m_widestDigit(WidestDigit(font())),
      m_highlight(QApplication::palette().color(QPalette::Highlight)) {
    AddCommands();
    SetEmptyPrompt(OvText(34022, u"There are no items to show in this view."));
    m_doc.AddView(this);
}

CLogListView::~CLogListView() {
    m_doc.RemoveView(this);
}

// One command of the view: its id, texts, picture and keys, what it runs,
// its check mark (none without a predicate) and whether it needs a selection.
struct CLogListView::Command {
    unsigned id;
    unsigned textId;
    const char16_t* text;
    unsigned tipId;  // 0: no tool tip (and no picture)
    const char16_t* tip;
    const char* picture;
    std::array<QKeyCombination, 2> keys;
    void (*run)(CLogListView& view);
    bool (*checked)(const CLogListView& view);
    bool needsSelection;
};

namespace {
constexpr std::array<QKeyCombination, 2> kNoKeys = {Qt::Key_unknown, Qt::Key_unknown};
}  // namespace

const CLogListView::Command CLogListView::kCommands[] = {
    {ID_EDIT_COPY,
     34002,
     u"&Copy\tCtrl+C",
     34015,
     u"Copy Selected Data",
     "list-copy",
     {Qt::CTRL | Qt::Key_C, Qt::CTRL | Qt::Key_Insert},
     [](CLogListView& v) {
         if (v.m_viewMode == kTableView) {
             v.CopyAsText();
         } else {
             v.CopyColumn(0);
         }
     },
     nullptr,
     true},
    {ID_EDIT_SELECT_ALL,
     34003,
     u"&Select All\tCtrl+A",
     34016,
     u"Select All",
     "list-select-all",
     {Qt::CTRL | Qt::Key_A, Qt::Key_unknown},
     [](CLogListView& v) { v.SelectAll(); },
     nullptr,
     false},
    {ID_AUTO_SCROLL, 34004, u"&Auto Scroll", 34017, u"Auto Scroll", "list-auto-scroll", kNoKeys,
     [](CLogListView& v) { v.SetAutoScroll(!v.m_autoScroll); }, [](const CLogListView& v) { return v.m_autoScroll; },
     false},
    {ID_CLASSIC_VIEW, 34005, u"Class&ic View", 34018, u"Display classical view", "list-classic-view", kNoKeys,
     [](CLogListView& v) { v.SetViewMode(kClassicView); },
     [](const CLogListView& v) { return v.m_viewMode == kClassicView; }, false},
    {ID_TABLE_VIEW, 34006, u"Ha&rbor View", 34019, u"Display list view", "list-table-view", kNoKeys,
     [](CLogListView& v) { v.SetViewMode(kTableView); },
     [](const CLogListView& v) { return v.m_viewMode == kTableView; }, false},
    // The context menu's "Copy Colunm" popup (table view).
    {ID_COPY_COLUMN[0], 34008, u"Copy TimeStamp", 0, nullptr, nullptr, kNoKeys,
     [](CLogListView& v) { v.CopyColumn(0); }, nullptr, true},
    {ID_COPY_COLUMN[1], 34009, u"Copy Status", 0, nullptr, nullptr, kNoKeys, [](CLogListView& v) { v.CopyColumn(1); },
     nullptr, true},
    {ID_COPY_COLUMN[2], 34010, u"Copy Bytes", 0, nullptr, nullptr, kNoKeys, [](CLogListView& v) { v.CopyColumn(2); },
     nullptr, true},
    {ID_COPY_COLUMN[3], 34011, u"Copy RTime", 0, nullptr, nullptr, kNoKeys, [](CLogListView& v) { v.CopyColumn(3); },
     nullptr, true},
    {ID_COPY_COLUMN[4], 34012, u"Copy TTL", 0, nullptr, nullptr, kNoKeys, [](CLogListView& v) { v.CopyColumn(4); },
     nullptr, true},
};

void CLogListView::AddCommands() {
    for (const Command& c : kCommands) {
        QAction* action = OvAddCommand(this, c.id, OvText(c.textId, c.text));
        if (c.tip != nullptr) {
            action->setToolTip(OvText(c.tipId, c.tip));
            action->setIcon(OvPicture(QString::fromLatin1(c.picture)));
        }
        QList<QKeySequence> keys;
        for (const QKeyCombination key : c.keys) {
            if (key.key() != Qt::Key_unknown) {
                keys.append(QKeySequence(key));
            }
        }
        action->setShortcuts(keys);
        action->setCheckable(c.checked != nullptr);
        connect(action, &QAction::triggered, this, [this, run = c.run] { run(*this); });
        m_commands.append(action);
    }
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { UpdateCommands(); });
    connect(model(), &QAbstractItemModel::modelReset, this, [this] { UpdateCommands(); });
    connect(model(), &QAbstractItemModel::rowsRemoved, this, [this] { UpdateCommands(); });
    UpdateCommands();
}

void CLogListView::UpdateCommands() {
    const bool selected = selectionModel()->hasSelection();
    for (qsizetype i = 0; i < m_commands.size(); ++i) {
        const Command& c = kCommands[i];
        if (c.needsSelection) {
            m_commands[i]->setEnabled(selected);
        }
        if (c.checked != nullptr) {
            m_commands[i]->setChecked(c.checked(*this));
        }
    }
}

void CLogListView::OnInitialUpdate() {
    for (const ColumnDef& c : kColumns) {
        AddColumn(OvText(c.id, c.title), c.width, kInitialFormat, kColumnFlags);
    }
    SetEnableSort(false);
    UpdateColumn(0);
    SetViewMode(m_viewMode);
    setFocus(Qt::OtherFocusReason);
}

void CLogListView::SetViewMode(int mode) {
    m_viewMode = mode == kTableView ? kTableView : kClassicView;
    if (m_viewMode == kTableView) {
        for (int column = 1; column < GetColumnCount(); ++column) {
            SetColumnFormat(column, OVLC_FMT_CENTER);
        }
        SetColumnWidth(0, kTableTimeStampWidth);
        SetHeaderVisible(true);
        SetShowGrid(true, true);
    } else {
        for (int column = 1; column < GetColumnCount(); ++column) {
            SetColumnFormat(column, OVLC_FMT_HIDDEN);
        }
        SetHeaderVisible(false);
        SetShowGrid(false, false);
    }
    UpdateCommands();
    FitClassicColumn(viewport()->width());
    InvalidateRows();
}

void CLogListView::SetAutoScroll(bool on) {
    m_autoScroll = on;
    UpdateCommands();
}

void CLogListView::FitClassicColumn(int width) {
    if (m_viewMode == kClassicView && GetColumnCount() > 0) {
        SetColumnWidth(0, std::max(width, m_lineWidth));
    }
}

int CLogListView::ClassicLineWidth(const PING_EVENT& e) {
    QString line = ToQString(FormatClassicLine(e, m_caption16, m_texts));
    for (QChar& c : line) {
        if (c >= u'0' && c <= u'9') {
            c = m_widestDigit;
        }
    }
    auto known = m_lineWidths.constFind(line);
    if (known == m_lineWidths.constEnd()) {
        known = m_lineWidths.insert(line, GetCellWidth(line));
    }
    return *known;
}

void CLogListView::MeasureLines() {
    // The measured lines are those of the host shown before; the font may
    // have changed since.
    m_lineWidths.clear();
    m_widestDigit = WidestDigit(font());
    m_lineWidth = 0;
    for (DWORD i = 0; i < m_ring.Retained(); ++i) {
        m_lineWidth = std::max(m_lineWidth, ClassicLineWidth(m_ring.Oldest(i)));
    }
    FitClassicColumn(viewport()->width());
}

bool CLogListView::viewportEvent(QEvent* event) {
    // The viewport changes with the list and with its scroll bars coming and
    // going; the new width reaches column 0 once the scroll bars are laid out.
    if (event->type() == QEvent::Resize) {
        QMetaObject::invokeMethod(
            this, [this] { FitClassicColumn(viewport()->width()); }, Qt::QueuedConnection);
    }
    return COvListView::viewportEvent(event);
}

void CLogListView::OnUpdate(UINT hint) {
    switch (hint) {
        case HINT_RUN_STARTED:
            // The tree may have made a host current while it handled this hint
            // before this view: its events stay, since a host that has failed
            // meanwhile never notifies again. (The index is read as it is: asking
            // for the current host would reset an index no host has yet.)
            if (const CHostProbe* host = m_doc.GetHost(m_doc.GetCurrentIndex())) {
                ShowHost(*host);
            } else {
                m_ring.Clear();
                SetItemCount(0);
                MeasureLines();
                emit captionChanged(m_caption);
                InvalidateRows();
            }
            if (isVisible()) {
                viewport()->repaint();
            }
            break;
        case HINT_CURRENT_HOST:
            if (const CHostProbe* host = m_doc.GetCurrentHost()) {
                ShowHost(*host);
            } else {
                InvalidateRows();
            }
            break;
        case HINT_NEW_EVENTS:
            if (CHostProbe* host = m_doc.GetCurrentHost()) {
                TakeNewEvents(*host);
            }
            break;
        default:
            break;
    }
}

void CLogListView::ShowHost(const CHostProbe& host) {
    host.CopyEvents(m_ring);
    m_caption16 = host.GetHostName();
    m_caption = ToQString(m_caption16);
    SetItemCount(static_cast<int>(m_ring.Retained()), OVLC_NOSCROLL);
    MeasureLines();
    emit captionChanged(m_caption);
    InvalidateRows();
}

void CLogListView::TakeNewEvents(const CHostProbe& host) {
    // One look at the host: the events it recorded beyond this view's count.
    const DWORD known = m_ring.Count();
    const DWORD hostCount = host.CopyEventsSince(known, m_fresh);
    if (hostCount <= known) {
        return;  // nothing new (a notification whose events an earlier one took)
    }
    if (hostCount - known > m_fresh.size()) {
        // More came than the host's ring keeps: take its ring as it is now,
        // so that the counts agree again.
        ReplaceRows(host);
        return;
    }
    AppendEvents(m_fresh);
}

void CLogListView::ReplaceRows(const CHostProbe& host) {
    host.CopyEvents(m_ring);
    clearSelection();
    SetItemCount(static_cast<int>(m_ring.Retained()), OVLC_NOSCROLL);
    MeasureLines();
    if (m_autoScroll) {
        EnsureVisible(static_cast<int>(m_ring.Retained()) - 1);
    }
    InvalidateRows();
}

void CLogListView::ShowEvents(const CEventRing& ring, const QString& caption) {
    m_ring.CopyFrom(ring);
    m_caption = caption;
    m_caption16 = caption.toStdU16String();
    SetItemCount(static_cast<int>(m_ring.Retained()), OVLC_NOSCROLL);
    MeasureLines();
    emit captionChanged(m_caption);
    InvalidateRows();
}

void CLogListView::AppendEvent(const PING_EVENT& event) {
    AppendEvents({&event, 1});
}

void CLogListView::AppendEvents(std::span<const PING_EVENT> events) {
    if (events.empty()) {
        return;
    }
    const DWORD capacity = m_ring.Capacity();
    const DWORD before = m_ring.Count();
    int lineWidth = m_lineWidth;
    for (const PING_EVENT& event : events) {
        m_ring.Push(event);
        lineWidth = std::max(lineWidth, ClassicLineWidth(event));
    }
    if (lineWidth > m_lineWidth) {
        m_lineWidth = lineWidth;
        FitClassicColumn(viewport()->width());
    }
    // Rows move only for the events that dropped out; the push that fills the
    // ring drops none.
    const DWORD after = m_ring.Count();
    const int dropped = after > capacity ? static_cast<int>(after - std::max(before, capacity)) : 0;
    const int last = static_cast<int>(m_ring.Retained()) - 1;
    SetItemCount(last + 1, OVLC_NOINVALIDATEALL | OVLC_NOSCROLL);
    if (dropped == 0) {
        if (m_autoScroll) {
            EnsureVisible(last);
        }
        return;
    }
    if (m_autoScroll) {
        EnsureVisible(last);
        ShiftSelectionUp(dropped);
        InvalidateRows();
        return;
    }
    InvalidateRows();
    const int top = GetTopIndex();
    if (top >= dropped) {
        // The rows on screen keep showing the same events, and so does the selection.
        EnsureVisible(top - dropped);
        ShiftSelectionUp(dropped);
        return;
    }
    // The top was reached: the selection goes and the newest row comes into
    // view; the events after that one move the rows up again.
    clearSelection();
    ShiftSelectionUp(dropped - 1);  // the focus, which the selection leaves
    EnsureVisible(last);
    const int rest = dropped - top - 1;
    if (rest > 0) {
        EnsureVisible(std::max(GetTopIndex() - rest, 0));
    }
}

DWORD CLogListView::AbsoluteRow(int row) const noexcept {
    const DWORD r = static_cast<DWORD>(row);
    return m_ring.Count() < m_ring.Capacity() ? r : m_ring.Count() - m_ring.Capacity() + r;
}

const PING_EVENT* CLogListView::EventAt(int row) const noexcept {
    if (m_ring.Count() == 0 || row < 0 || static_cast<DWORD>(row) >= m_ring.Retained()) {
        return nullptr;
    }
    return &m_ring.Oldest(static_cast<DWORD>(row));
}

QString CLogListView::OnGetItemText(int item, int subItem) const {
    const PING_EVENT* e = EventAt(item);
    if (e == nullptr) {
        return {};
    }
    if (m_viewMode == kTableView) {
        return ToQString(FormatTableCell(*e, subItem, m_texts));
    }
    return ToQString(FormatClassicLine(*e, m_caption16, m_texts));
}

QString CLogListView::OnGetItemAltText(int item, int subItem) const {
    const PING_EVENT* e = EventAt(item);
    if (e == nullptr) {
        return {};
    }
    if (m_viewMode == kTableView) {
        return ToQString(FormatTableCellShort(*e, subItem, AbsoluteRow(item), m_texts));
    }
    return ToQString(FormatShortClassicLine(*e, static_cast<std::uint32_t>(item), m_texts));
}

QColor CLogListView::OnGetItemTextColor(int item, int, bool selected, bool focused) const {
    QColor colour = GetTextColor();
    const PING_EVENT* e = EventAt(item);
    if (e != nullptr && e->type != PE_REPLY) {
        colour = kLostText;
    }
    if (selected) {
        colour = LightColor(m_highlight, colour, 30);
    }
    if (focused) {
        colour = LightColor(m_highlight, colour, 16);
    }
    return colour;
}

QColor CLogListView::OnGetItemBkColor(int, int, bool selected, bool focused) const {
    QColor colour = GetBkColor();
    if (selected) {
        colour = LightColor(m_highlight, colour, 30);
    }
    if (focused) {
        colour = LightColor(kFocusBackground, colour, 16);
    }
    return colour;
}

void CLogListView::BuildContextMenu(QMenu& menu) const {
    // The items are the Edit menu's: each command's own text.
    const auto add = [this](QMenu& to, unsigned id) {
        OvAddMenuCommand(to, id, OvFindCommand(this, id)->text(), this);
    };
    add(menu, ID_EDIT_COPY);
    if (m_viewMode == kTableView) {
        QMenu* columns = menu.addMenu(OvText(34007, u"Copy Colunm"));
        for (const unsigned id : ID_COPY_COLUMN) {
            add(*columns, id);
        }
    }
    add(menu, ID_EDIT_SELECT_ALL);
    menu.addSeparator();
    add(menu, ID_AUTO_SCROLL);
    menu.addSeparator();
    add(menu, ID_CLASSIC_VIEW);
    add(menu, ID_TABLE_VIEW);
}

void CLogListView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    if (GetItemCount() == 0) {
        return;
    }
    QMenu menu(this);
    BuildContextMenu(menu);
    OvTrackPopupMenu(menu, event->globalPos(), this);
}

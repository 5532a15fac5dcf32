#include "StatTreeView.h"

#include <algorithm>
#include <climits>

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include "StatText.h"
#include "StatTreeModel.h"
#include "ViewIds.h"
#include "ViewText.h"
#include "ovui/LightColor.h"
#include "ovui/OvCommand.h"
#include "ovui/OvPictures.h"

namespace {

const QColor kHostText(0, 0, 255);
const QColor kTreeText(0, 0, 0);
const QColor kTreeBackground(255, 255, 255);
constexpr int kTextPadding = 7;  // added to the text width of an item's box

// Paints an item normally without its text, then its text in a box of its own:
// host nodes bold blue, marked items underlined in the highlight blends.
class CStatTreeDelegate final : public QStyledItemDelegate {
public:
    CStatTreeDelegate(QTreeView* tree, QColor highlight)
        : QStyledItemDelegate(tree), m_tree(tree), m_highlight(highlight) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = option.widget;
        QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        const QString text = opt.text;

        bool marked = opt.state.testFlag(QStyle::State_Selected);
        QFont font = opt.font;
        QColor textColour = kTreeText;
        QColor background = kTreeBackground;
        if (CStatTreeModel::IsHostNode(index)) {
            font.setWeight(QFont::Bold);
            if (!marked) {
                marked = HasSelectedLine(index);
            }
            textColour = kHostText;
        }
        if (marked) {
            font.setUnderline(true);
            textColour = LightColor(m_highlight, textColour, 30);
            background = LightColor(m_highlight, background, 16);
        }

        opt.text.clear();
        opt.state &= ~(QStyle::State_Selected | QStyle::State_HasFocus);
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        const QFontMetrics metrics(font);
        QRect box = textRect;
        const int advance = metrics.horizontalAdvance(text);
        box.setWidth(advance + kTextPadding);
        box = box.intersected(option.rect);
        painter->save();
        painter->fillRect(box, background);
        painter->setFont(font);
        painter->setPen(textColour);
        // Laying out a text costs; most fit whole.
        painter->drawText(box, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                          advance <= box.width() ? text : metrics.elidedText(text, Qt::ElideRight, box.width()));
        painter->restore();
    }

private:
    bool HasSelectedLine(const QModelIndex& host) const {
        const QItemSelectionModel* selection = m_tree->selectionModel();
        const int lines = m_tree->model()->rowCount(host);
        for (int i = 0; i < lines; ++i) {
            if (selection->isSelected(m_tree->model()->index(i, 0, host))) {
                return true;
            }
        }
        return false;
    }

    QTreeView* m_tree;
    QColor m_highlight;
};

// Shows the wait cursor while it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

void PlaceOnClipboard(const QString& text) {
    const std::u16string copied = ClipboardText(text.toStdU16String());
    if (!copied.empty()) {
        QApplication::clipboard()->setText(ToQString(copied));
    }
}

// One snapshot of a host's counters, address and country.
CStatTreeModel::Snapshot TakeSnapshot(const CHostProbe& host) {
    CStatTreeModel::Snapshot snapshot;
    host.GetStatistics(snapshot.stats);
    snapshot.address = host.GetAddress();
    snapshot.country = host.GetCountry();
    return snapshot;
}

}  // namespace

CStatTreeView::CStatTreeView(COvPingDoc& doc, QWidget* parent)
    : QTreeView(parent), m_doc(doc), m_model(new CStatTreeModel(this)) {
    setModel(m_model);
    setItemDelegate(new CStatTreeDelegate(this, QApplication::palette().color(QPalette::Highlight)));
    setHeaderHidden(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setFrameShape(QFrame::Box);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, kTreeBackground);
    colours.setColor(QPalette::Text, kTreeText);
    // The delegate draws the marks; the style's selection band stays invisible.
    colours.setColor(QPalette::Highlight, kTreeBackground);
    setPalette(colours);

    QAction* copyHost = OvAddCommand(this, ID_COPY_HOST, OvText(34013, u"&Copy Host"));
    copyHost->setToolTip(OvText(34020, u"Copy Host"));
    copyHost->setIcon(OvPicture(QStringLiteral("tree-copy-host")));
    connect(copyHost, &QAction::triggered, this, [this] { CopyHost(); });
    QAction* copyAll = OvAddCommand(this, ID_COPY_ALL, OvText(34014, u"Copy &All"));
    copyAll->setToolTip(OvText(34021, u"Copy All"));
    copyAll->setIcon(OvPicture(QStringLiteral("tree-copy-all")));
    connect(copyAll, &QAction::triggered, this, [this] { CopyAll(); });

    connect(&m_refresh, &QTimer::timeout, this, [this] { Refresh(); });
    m_doc.AddView(this);
}

CStatTreeView::~CStatTreeView() {
    m_doc.RemoveView(this);
}

void CStatTreeView::OnUpdate(UINT hint) {
    switch (hint) {
        case HINT_RUN_STARTED:
            Rebuild();
            if (m_model->HostCount() > 0) {
                setCurrentIndex(m_model->index(0, 0, {}));
            }
            StartRefreshTimer();
            break;
        case HINT_HOSTS_ADDED:
            AddNewHosts();
            break;
        case HINT_RUN_STOPPED:
            m_refresh.stop();
            break;
        case HINT_SETTINGS_CHANGED:
            StartRefreshTimer();
            break;
        default:
            break;
    }
}

void CStatTreeView::StartRefreshTimer() {
    m_refresh.start(static_cast<int>(std::min<DWORD>(m_doc.PollTime(), INT_MAX)));
}

std::vector<CStatTreeModel::HostNode> CStatTreeView::NodesFrom(UINT first) const {
    std::vector<CStatTreeModel::HostNode> nodes;
    nodes.reserve(m_doc.GetHostCount() - std::min(first, m_doc.GetHostCount()));
    for (UINT i = first; i < m_doc.GetHostCount(); ++i) {
        const CHostProbe* host = m_doc.GetHost(i);
        if (host == nullptr) {
            continue;
        }
        CStatTreeModel::HostNode node;
        node.name = ToQString(host->GetHostName());
        node.hostIndex = i;
        node.source = TakeSnapshot(*host);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void CStatTreeView::Rebuild() {
    const UINT count = m_doc.GetHostCount();
    if (count == 0) {
        return;
    }
    m_rebuilding = true;
    m_model->Reset(NodesFrom(0));
    m_hostsShown = count;
    expandAll();
    m_rebuilding = false;
    viewport()->update();
}

void CStatTreeView::AddNewHosts() {
    const int first = m_model->HostCount();
    m_model->Append(NodesFrom(m_hostsShown));
    m_hostsShown = m_doc.GetHostCount();
    for (int row = first; row < m_model->HostCount(); ++row) {
        expand(m_model->index(row, 0, {}));
    }
}

void CStatTreeView::Refresh() {
    m_rowsInView = HostRowsInView();
    for (int row = 0; row < m_model->HostCount(); ++row) {
        const CHostProbe* host = m_doc.GetHost(m_model->Host(row).hostIndex);
        if (host == nullptr) {
            continue;
        }
        // A host that has not sent since the last tick keeps its lines; the
        // lines of one that did are made again when they are drawn, and
        // only the rows that changed are painted again.
        m_model->SetSource(row, TakeSnapshot(*host));
    }
    m_rowsInView.reset();
}

std::pair<int, int> CStatTreeView::HostRowsInView() const {
    auto hostRow = [](const QModelIndex& item) { return item.parent().isValid() ? item.parent().row() : item.row(); };
    const QModelIndex top = indexAt(QPoint(0, 0));
    if (!isVisible() || !top.isValid()) {
        return {0, -1};
    }
    const QModelIndex bottom = indexAt(QPoint(0, viewport()->height() - 1));
    return {hostRow(top), bottom.isValid() ? hostRow(bottom) : m_model->HostCount() - 1};
}

void CStatTreeView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
    const QModelIndex host = topLeft.parent();
    if (host.isValid() && host == bottomRight.parent() && !QAccessible::isActive()) {
        const auto [first, last] = m_rowsInView ? *m_rowsInView : HostRowsInView();
        if (host.row() < first || host.row() > last) {
            return;
        }
    }
    QTreeView::dataChanged(topLeft, bottomRight, roles);
}

void CStatTreeView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (m_rebuilding || !current.isValid()) {
        return;
    }
    const QModelIndex parentItem = current.parent();
    if (m_currentHost.isValid() && parentItem == QModelIndex(m_currentHost)) {
        return;  // another line of the current host
    }
    m_currentHost = parentItem.isValid() ? parentItem : current;
    if (m_currentHost.isValid()) {
        m_doc.SelectHost(m_model->Host(m_currentHost.row()).hostIndex);
    }
    m_contextHost = m_currentHost;
}

void CStatTreeView::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    // A host node is drawn marked while one of its lines is selected.
    viewport()->update();
}

void CStatTreeView::mousePressEvent(QMouseEvent* event) {
    // A right click opens the menu and moves neither the selection nor the caret.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTreeView::mousePressEvent(event);
}

void CStatTreeView::BuildContextMenu(QMenu& menu) const {
    OvAddMenuCommand(menu, ID_COPY_HOST, OvFindCommand(this, ID_COPY_HOST)->text(), this);
    OvAddMenuCommand(menu, ID_COPY_ALL, OvFindCommand(this, ID_COPY_ALL)->text(), this);
}

void CStatTreeView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // From the keyboard the menu is for the caret item, shown beside it.
    const bool keyboard = event->reason() == QContextMenuEvent::Keyboard;
    const QModelIndex hit = keyboard ? currentIndex() : indexAt(viewport()->mapFromGlobal(event->globalPos()));
    if (!hit.isValid()) {
        return;
    }
    const QPoint at = keyboard ? viewport()->mapToGlobal(visualRect(hit).bottomLeft()) : event->globalPos();
    m_contextHost = hit.parent().isValid() ? hit.parent() : hit;
    QMenu menu(this);
    BuildContextMenu(menu);
    OvTrackPopupMenu(menu, at, this);
    // Dismissed or not, the toolbar's Copy Host acts on the selected host again.
    m_contextHost = m_currentHost;
}

QString CStatTreeView::HostText(const QModelIndex& host) const {
    if (!host.isValid()) {
        return {};
    }
    QString text = m_model->Text(host) + QLatin1String("\r\n");
    const int lines = m_model->rowCount(host);
    for (int i = 0; i < lines; ++i) {
        text += m_model->Text(m_model->index(i, 0, host)) + QLatin1String("\r\n");
    }
    return text;
}

QString CStatTreeView::VisibleText() const {
    QString text;
    for (QModelIndex item = m_model->index(0, 0, {}); item.isValid(); item = indexBelow(item)) {
        text += m_model->Text(item) + QLatin1String("\r\n");
    }
    return text;
}

void CStatTreeView::CopyHost() {
    const WaitCursor wait;
    PlaceOnClipboard(HostText(m_contextHost));
    m_contextHost = m_currentHost;
}

void CStatTreeView::CopyAll() {
    const WaitCursor wait;
    PlaceOnClipboard(VisibleText());
}

void CStatTreeView::MarkHost(unsigned hostIndex, bool down, const QString& toolTip) {
    m_model->SetHostAlert(m_model->RowOfHost(hostIndex), down, toolTip);
}

bool CStatTreeView::SelectHost(unsigned hostIndex) {
    const int row = m_model->RowOfHost(hostIndex);
    if (row < 0) {
        return false;
    }
    const QModelIndex item = m_model->index(row, 0, {});
    setCurrentIndex(item);
    scrollTo(item);
    return true;
}

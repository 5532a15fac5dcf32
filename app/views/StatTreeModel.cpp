#include "StatTreeModel.h"

#include <algorithm>

#include "StatText.h"
#include "ViewText.h"
#include "ovui/OvPictures.h"

// Internal ids: a host node's is odd, a line's even; both are scrambled from
// the host's row by an odd multiplier (which a line's id is undone with).
// Qt hashes an index as (row << 4) + column + id; plain small ids would put
// the persistent indexes that the view makes for 9000 items into a few runs
// of hash buckets, and every expansion check would probe through them.
namespace {

static_assert(sizeof(quintptr) == 8, "the id arithmetic is 64-bit");
constexpr quintptr kScramble = 0x9E3779B97F4A7C15ull;
constexpr quintptr kUnscramble = 0xF1DE83E19937733Dull;  // kScramble * kUnscramble == 1
constexpr quintptr kLow63 = ~quintptr{0} >> 1;

quintptr HostId(int row) noexcept {
    return (static_cast<quintptr>(row) * kScramble) | 1u;
}

quintptr LineId(int hostRow) noexcept {
    return ((static_cast<quintptr>(hostRow) + 1) * kScramble) << 1;
}

int HostRowOfLine(quintptr id) noexcept {
    return static_cast<int>((((id >> 1) * kUnscramble) & kLow63) - 1);
}

}  // namespace

bool CStatTreeModel::Snapshot::operator==(const Snapshot& other) const noexcept {
    return stats.sent == other.stats.sent && stats.lost == other.stats.lost && stats.minimum == other.stats.minimum &&
           stats.maximum == other.stats.maximum && stats.total == other.stats.total && address == other.address &&
           country == other.country;
}

CStatTreeModel::CStatTreeModel(QObject* parent)
    : QAbstractItemModel(parent),
      m_hostImage(OvPicture(QStringLiteral("tree-host"))),
      m_hostDownImage(OvPicture(QStringLiteral("tree-host-down"))),
      m_lineImage(OvPicture(QStringLiteral("tree-line"))) {}

QModelIndex CStatTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) {
        return {};
    }
    if (!parent.isValid()) {
        return row < HostCount() ? createIndex(row, 0, HostId(row)) : QModelIndex();
    }
    if (IsHostNode(parent) && row < kLines) {
        return createIndex(row, 0, LineId(parent.row()));
    }
    return {};
}

QModelIndex CStatTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || IsHostNode(child)) {
        return {};
    }
    const int hostRow = HostRowOfLine(child.internalId());
    return createIndex(hostRow, 0, HostId(hostRow));
}

int CStatTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return HostCount();
    }
    return IsHostNode(parent) ? kLines : 0;
}

int CStatTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool CStatTreeModel::IsHostNode(const QModelIndex& index) noexcept {
    return index.isValid() && (index.internalId() & 1u) != 0;
}

QString CStatTreeModel::Text(const QModelIndex& index) const {
    if (!index.isValid()) {
        return {};
    }
    if (IsHostNode(index)) {
        return index.row() < HostCount() ? Host(index.row()).name : QString();
    }
    const int host = HostRowOfLine(index.internalId());
    if (host >= HostCount() || index.row() >= kLines) {
        return {};
    }
    return LinesOfHost(host)[static_cast<std::size_t>(index.row())];
}

CStatTreeModel::Lines CStatTreeModel::LinesOf(const Snapshot& source) {
    const StatLines lines = FormatStatLines(source.stats, source.address, source.country);
    Lines out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        out[i] = ToQString(lines[i]);
    }
    return out;
}

const CStatTreeModel::Lines& CStatTreeModel::LinesOfHost(int row) const {
    const HostNode& host = Host(row);
    if (!host.linesMade) {
        host.lines = LinesOf(host.source);
        host.linesMade = true;
    }
    return host.lines;
}

QVariant CStatTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return Text(index);
        case Qt::DecorationRole:
            if (!IsHostNode(index)) {
                return m_lineImage;
            }
            return Host(index.row()).down ? m_hostDownImage : m_hostImage;
        case Qt::ToolTipRole:
            return IsHostNode(index) && !Host(index.row()).toolTip.isEmpty() ? QVariant(Host(index.row()).toolTip)
                                                                             : QVariant();
        case kHostIndexRole:
            return IsHostNode(index) ? QVariant(Host(index.row()).hostIndex) : QVariant();
        default:
            return {};
    }
}

Qt::ItemFlags CStatTreeModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void CStatTreeModel::Reset(std::vector<HostNode> hosts) {
    beginResetModel();
    m_hosts = std::move(hosts);
    endResetModel();
}

void CStatTreeModel::Append(std::vector<HostNode> hosts) {
    if (hosts.empty()) {
        return;
    }
    const int first = HostCount();
    beginInsertRows({}, first, first + static_cast<int>(hosts.size()) - 1);
    m_hosts.insert(m_hosts.end(), std::make_move_iterator(hosts.begin()), std::make_move_iterator(hosts.end()));
    endInsertRows();
}

bool CStatTreeModel::SetSource(int row, Snapshot source) {
    if (row < 0 || row >= HostCount()) {
        return false;
    }
    HostNode& host = m_hosts[static_cast<std::size_t>(row)];
    if (source == host.source) {
        return false;
    }
    host.source = std::move(source);
    host.linesMade = false;
    emit dataChanged(createIndex(0, 0, LineId(row)), createIndex(kLines - 1, 0, LineId(row)), {Qt::DisplayRole});
    return true;
}

void CStatTreeModel::SetHostAlert(int row, bool down, QString toolTip) {
    if (row < 0 || row >= HostCount()) {
        return;
    }
    HostNode& host = m_hosts[static_cast<std::size_t>(row)];
    host.down = down;
    host.toolTip = std::move(toolTip);
    const QModelIndex item = createIndex(row, 0, HostId(row));
    emit dataChanged(item, item, {Qt::DecorationRole, Qt::ToolTipRole});
}

int CStatTreeModel::RowOfHost(unsigned hostIndex) const noexcept {
    // Nodes follow the document's order and skip only null entries, so the
    // node sits at the host's index or before it.
    if (m_hosts.empty()) {
        return -1;
    }
    for (int row = static_cast<int>(std::min<std::size_t>(hostIndex, m_hosts.size() - 1)); row >= 0; --row) {
        const unsigned index = m_hosts[static_cast<std::size_t>(row)].hostIndex;
        if (index == hostIndex) {
            return row;
        }
        if (index < hostIndex) {
            break;
        }
    }
    return -1;
}

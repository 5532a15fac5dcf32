#include "StatTreeModel.h"

#include "ovui/OvPictures.h"

// Host nodes have internal id 0; a line's internal id is its host's row + 1.

CStatTreeModel::CStatTreeModel(QObject* parent)
    : QAbstractItemModel(parent),
      m_hostImage(OvPicture(QStringLiteral("tree-host"))),
      m_lineImage(OvPicture(QStringLiteral("tree-line"))) {}

QModelIndex CStatTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0) {
        return {};
    }
    if (!parent.isValid()) {
        return row < HostCount() ? createIndex(row, 0, quintptr{0}) : QModelIndex();
    }
    if (IsHostNode(parent) && row < kLines) {
        return createIndex(row, 0, static_cast<quintptr>(parent.row()) + 1);
    }
    return {};
}

QModelIndex CStatTreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == 0) {
        return {};
    }
    return createIndex(static_cast<int>(child.internalId() - 1), 0, quintptr{0});
}

int CStatTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) {
        return HostCount();
    }
    return IsHostNode(parent) ? kLines : 0;
}

int CStatTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool CStatTreeModel::IsHostNode(const QModelIndex& index) noexcept {
    return index.isValid() && index.internalId() == 0;
}

QString CStatTreeModel::Text(const QModelIndex& index) const {
    if (!index.isValid()) {
        return {};
    }
    if (IsHostNode(index)) {
        return index.row() < HostCount() ? Host(index.row()).name : QString();
    }
    const int host = static_cast<int>(index.internalId() - 1);
    if (host >= HostCount() || index.row() >= kLines) {
        return {};
    }
    return Host(host).lines[static_cast<std::size_t>(index.row())];
}

QVariant CStatTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return Text(index);
    case Qt::DecorationRole:
        return IsHostNode(index) ? m_hostImage : m_lineImage;
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

void CStatTreeModel::SetLines(int row, Lines lines) {
    if (row < 0 || row >= HostCount()) {
        return;
    }
    Lines& old = m_hosts[static_cast<std::size_t>(row)].lines;
    int first = kLines;
    int last = -1;
    for (int i = 0; i < kLines; ++i) {
        auto& text = old[static_cast<std::size_t>(i)];
        if (text != lines[static_cast<std::size_t>(i)]) {
            text = std::move(lines[static_cast<std::size_t>(i)]);
            first = std::min(first, i);
            last = i;
        }
    }
    if (last >= 0) {
        const auto id = static_cast<quintptr>(row) + 1;
        emit dataChanged(createIndex(first, 0, id), createIndex(last, 0, id), {Qt::DisplayRole});
    }
}

#pragma once
// The statistics tree's items: one host node per host of the run, in the
// document's order, each with its eight statistic lines. Rows are stored
// (there are few); the view rewrites the line texts on every refresh.
#include <array>
#include <vector>

#include <QAbstractItemModel>
#include <QIcon>
#include <QString>

#include "PingTypes.h"

// The item data of a host node: the host's index in the document's list.
inline constexpr int kHostIndexRole = Qt::UserRole + 1;

class CStatTreeModel final : public QAbstractItemModel {
public:
    static constexpr int kLines = 8;
    using Lines = std::array<QString, kLines>;

    // What a host node's lines were made from; equal values give equal lines.
    struct Snapshot {
        PING_STATS stats{};
        IPAddr address = 0;
        std::u16string country;
        bool operator==(const Snapshot& other) const noexcept;
    };

    struct HostNode {
        QString name;
        unsigned hostIndex = 0;
        Lines lines;
        Snapshot source;
        bool down = false;  // drawn with the down icon
        QString toolTip;    // of the host line; empty for none
    };

    explicit CStatTreeModel(QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent) const override;
    int columnCount(const QModelIndex& parent) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Replaces every node.
    void Reset(std::vector<HostNode> hosts);
    // Adds nodes after the last one.
    void Append(std::vector<HostNode> hosts);
    int HostCount() const noexcept { return static_cast<int>(m_hosts.size()); }
    const HostNode& Host(int row) const { return m_hosts[static_cast<std::size_t>(row)]; }
    // Rewrites the lines of host node row made from source; repaints only what changed.
    void SetLines(int row, Lines lines, Snapshot source);
    // Marks host node row as down (its icon in red) or not, with its tooltip.
    void SetHostAlert(int row, bool down, QString toolTip);
    // The row of the host node of document host hostIndex, or -1.
    int RowOfHost(unsigned hostIndex) const noexcept;
    // The item's text (host name or line).
    QString Text(const QModelIndex& index) const;
    // True for a host node, false for a line or the root.
    static bool IsHostNode(const QModelIndex& index) noexcept;

private:
    std::vector<HostNode> m_hosts;
    QIcon m_hostImage;
    QIcon m_hostDownImage;
    QIcon m_lineImage;
};

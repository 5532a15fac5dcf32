#pragma once
// The statistics tree's items: one host node per host of the run, in the
// document's order, each with its eight statistic lines. Rows are stored
// with what their lines are made from; a line's text is made when it is
// first asked for after its host changed, so that a refresh of a thousand
// hosts formats only the lines that are drawn or copied.
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
        Snapshot source;
        bool down = false;  // drawn with the down icon
        QString toolTip;    // of the host line; empty for none
        // The lines of source, once asked for.
        mutable Lines lines;
        mutable bool linesMade = false;
    };

    // The eight lines of a snapshot.
    static Lines LinesOf(const Snapshot& source);

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
    // The lines of host node row are made from source from now on; false
    // (and nothing changes) when they already were.
    bool SetSource(int row, Snapshot source);
    // The eight lines of host node row.
    const Lines& LinesOfHost(int row) const;
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

#pragma once
// The statistics tree: one host node per host of the run with eight statistic
// lines beneath, rewritten in place on a timer at the document's poll
// interval. Selecting a host (or one of its lines) makes it the document's
// current host. Copy Host and Copy All put the lines on the clipboard, each
// followed by "\r\n", with one final space.
#include <optional>
#include <utility>

#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeView>

#include "OvPingDoc.h"
#include "StatTreeModel.h"

class QMenu;

class CStatTreeView final : public QTreeView, public IPingView {
    Q_OBJECT

public:
    // Registers with doc for its hints.
    explicit CStatTreeView(COvPingDoc& doc, QWidget* parent = nullptr);
    ~CStatTreeView() override;

    void OnUpdate(UINT hint) override;

    // Rebuilds every host node from the document's host list (an empty list
    // leaves the tree as it is).
    void Rebuild();
    // Adds nodes for the hosts a run that starts in steps added since.
    void AddNewHosts();
    // Rewrites every host node's lines from its host.
    void Refresh();
    // Marks document host hostIndex as down or not, with its host line's tooltip.
    void MarkHost(unsigned hostIndex, bool down, const QString& toolTip);
    // Selects the node of document host hostIndex (making it the current
    // host) and scrolls to it; false when the tree has no such host.
    bool SelectHost(unsigned hostIndex);
    // The Copy Host and Copy All commands.
    void CopyHost();
    void CopyAll();
    // What they put on the clipboard (before the final space).
    QString HostText(const QModelIndex& host) const;
    QString VisibleText() const;

    CStatTreeModel* GetModel() const noexcept { return m_model; }
    const QTimer& RefreshTimer() const noexcept { return m_refresh; }
    // Host node that the selection made the current host; invalid for none.
    QModelIndex CurrentHostItem() const { return m_currentHost; }
    // Host node that Copy Host acts on.
    QModelIndex ContextHostItem() const { return m_contextHost; }
    // Fills menu with the right-click menu's items.
    void BuildContextMenu(QMenu& menu) const;

protected:
    // Lines of a host out of view are passed over: nothing on screen changes,
    // and the tree's own bookkeeping would look each of them up among all
    // its rows, a thousand hosts a refresh.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void StartRefreshTimer();
    // Rows of the first and the last host node with an item in view; first
    // above last when none is.
    std::pair<int, int> HostRowsInView() const;
    // Nodes of the document's hosts from index first on.
    std::vector<CStatTreeModel::HostNode> NodesFrom(UINT first) const;

    COvPingDoc& m_doc;
    CStatTreeModel* m_model;
    QTimer m_refresh;
    QPersistentModelIndex m_currentHost;
    QPersistentModelIndex m_contextHost;
    bool m_rebuilding = false;
    std::optional<std::pair<int, int>> m_rowsInView;  // during a refresh
    UINT m_hostsShown = 0;                            // document hosts the nodes were made for
};

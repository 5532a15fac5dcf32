#pragma once
// The log list: every recorded outcome of the document's current host, one
// row per event, from the view's own copy of the host's event ring, so that
// drawing never locks a host. Classic view: one console-like line per event
// in column 0, which spans the list's width and grows to the widest line (the
// list then scrolls sideways); table view: five columns under a header with a
// grid, whose cells show short texts where the full ones do not fit. Row r
// shows the r-th oldest retained event.
#include <span>
#include <vector>

#include <QHash>
#include <QString>

#include "LogText.h"
#include "OvPingDoc.h"
#include "PingTypes.h"
#include "ovui/OvListView.h"

class QAction;
class QMenu;

class CLogListView final : public COvListView, public IPingView {
    Q_OBJECT

public:
    enum : int { kClassicView = 0, kTableView = 1 };

    // Registers with doc for its hints; loads the status texts in the language
    // active now.
    explicit CLogListView(COvPingDoc& doc, QWidget* parent = nullptr);
    ~CLogListView() override;

    void OnUpdate(UINT hint) override;

    // Shows the classic (0) or table (1) presentation.
    void SetViewMode(int mode);
    int GetViewMode() const noexcept { return m_viewMode; }
    void SetAutoScroll(bool on);
    bool IsAutoScroll() const noexcept { return m_autoScroll; }
    // Name of the host whose events are shown.
    const QString& GetCaption() const noexcept { return m_caption; }
    const CEventRing& GetRing() const noexcept { return m_ring; }

    // Adds events (oldest first) as a notification of the current host does,
    // with one change of the row count and the full-ring rules: the
    // selection and the focus follow their events, by as many rows as events
    // dropped out. A notification takes every event the host recorded since
    // the last one it took.
    void AppendEvents(std::span<const PING_EVENT> events);
    void AppendEvent(const PING_EVENT& event);
    // Shows a copy of ring under caption, as a change of the current host does.
    void ShowEvents(const CEventRing& ring, const QString& caption);
    // Number that row r has counted from the first event of the host.
    DWORD AbsoluteRow(int row) const noexcept;

    // Fills menu with the context menu's items for the present view mode.
    void BuildContextMenu(QMenu& menu) const;

signals:
    // The caption changed (the frame shows it in its caption control).
    void captionChanged(const QString& caption);

protected:
    void OnInitialUpdate() override;
    QString OnGetItemText(int item, int subItem) const override;
    QString OnGetItemAltText(int item, int subItem) const override;
    QColor OnGetItemTextColor(int item, int subItem, bool selected, bool focused) const override;
    QColor OnGetItemBkColor(int item, int subItem, bool selected, bool focused) const override;
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The view's commands (kCommands): the Edit menu's, the toolbar's and the
    // context menu's.
    struct Command;
    static const Command kCommands[];

    void AddCommands();
    void UpdateCommands();
    // Column 0 spans width in classic view, or the widest line if wider.
    void FitClassicColumn(int width);
    // Column width of e's classic line, or a pixel or two more: every digit
    // counts as the font's widest, so that lines that differ in their digits
    // alone are measured once.
    int ClassicLineWidth(const PING_EVENT& e);
    // Takes the widest classic line of the rows anew.
    void MeasureLines();
    const PING_EVENT* EventAt(int row) const noexcept;
    // Shows a copy of host's events under its name.
    void ShowHost(const CHostProbe& host);
    // Appends the events host recorded beyond this view's count, read from
    // the host in one look.
    void TakeNewEvents(const CHostProbe& host);
    // Shows host's whole ring as it is now (the view fell behind by more
    // events than a ring holds).
    void ReplaceRows(const CHostProbe& host);

    COvPingDoc& m_doc;
    CEventRing m_ring;
    std::vector<PING_EVENT> m_fresh;  // the events a notification takes
    const CLogTexts m_texts;
    QString m_caption;
    std::u16string m_caption16;
    int m_lineWidth = 0;  // widest classic line since the rows were last replaced
    QChar m_widestDigit;
    QHash<QString, int> m_lineWidths;  // lines with their digits made widest, measured
    bool m_autoScroll = true;
    int m_viewMode = kClassicView;
    QColor m_highlight;

    QList<QAction*> m_commands;  // in the order of kCommands
};

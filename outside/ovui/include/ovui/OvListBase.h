#pragma once
// A report list over QTableView and a virtual table model: no row is stored,
// every cell text and colour is asked of the owner (the derived class) when
// the row is drawn or copied. The list only knows its item count and its
// column definitions.
//
// A cell shows OnGetItemText; in a column with OVLC_FLAG_ALTTEXT it shows
// OnGetItemAltText instead where the full text does not fit the cell. Row
// colours come from OnGetItemTextColor and OnGetItemBkColor; their two flags
// are "the row is selected" and "the row has the focus" (it is the current
// row, whether or not the list has the keyboard focus). The list paints no
// selection of its own beyond those colours.
#include <QColor>
#include <QString>
#include <QTableView>
#include <vector>

class COvListModel;

// Column formats (AddColumn, SetColumnFormat).
enum : int {
    OVLC_FMT_LEFT = 2,     // shown, text left-aligned
    OVLC_FMT_CENTER = 16,  // shown, text centred
    OVLC_FMT_HIDDEN = 32,  // not shown (its width is kept for when it is shown again)
};
// Column flags (AddColumn).
enum : int {
    OVLC_FLAG_ALTTEXT = 64,  // where the text does not fit, show the alternative text
};
// Flags of SetItemCount.
enum : unsigned {
    OVLC_NOINVALIDATEALL = 1,  // repaint nothing but what the count change needs
    OVLC_NOSCROLL = 2,         // keep the scroll position (the list never scrolls by itself here)
};

class COvListBase : public QTableView {
    Q_OBJECT
    friend class COvListModel;
    friend class COvListDelegate;

public:
    explicit COvListBase(QWidget* parent = nullptr);
    ~COvListBase() override;

    // Appends a column; returns its index.
    int AddColumn(const QString& title, int width, int format, int flags);
    int GetColumnCount() const noexcept { return static_cast<int>(m_columns.size()); }
    // Changes a column's format (OVLC_FMT_) and applies it.
    void SetColumnFormat(int column, int format);
    int GetColumnFormat(int column) const noexcept;
    // Changes a column's width in pixels.
    void SetColumnWidth(int column, int width);
    // The width the column has now (0 while it is hidden).
    int GetColumnWidth(int column) const;
    // Applies the stored title, width and format of a column to the list.
    void UpdateColumn(int column);
    // Sorting by a header click; the list never sorts itself, it only lets the
    // owner know through headerClicked (off by default).
    void SetEnableSort(bool enable);
    bool IsSortEnabled() const noexcept { return m_sortEnabled; }

    // Sets the number of rows. New rows are appended in one insertion of the
    // rows count..n-1; flags are OVLC_ values.
    void SetItemCount(int count, unsigned flags = 0);
    int GetItemCount() const noexcept;
    // Scrolls as little as needed to show row.
    void EnsureVisible(int row);
    // The first row visible at the top; 0 for an empty list.
    int GetTopIndex() const;
    // Repaints every visible row.
    void InvalidateRows();

    // Selects every row.
    void SelectAll();
    // Selected rows in ascending order.
    std::vector<int> GetSelectedRows() const;
    bool IsRowSelected(int row) const;
    // Selects or unselects one row; the current row stays.
    void SetRowSelected(int row, bool selected);
    // The current (focused) row, -1 for none.
    int GetFocusRow() const;
    // Makes row the current row without touching the selection.
    void SetFocusRow(int row);
    // Moves the selection and the focus up by rows rows, as the rows'
    // contents do when the oldest rows drop out: row i gets row i+rows's
    // state, the states of rows 0 to rows-1 are dropped, and a focus above
    // row rows stops at row 0. Works on selection ranges, not on rows.
    void ShiftSelectionUp(int rows = 1);

    // Text of the selected rows: every cell, joined by tabs, each row ending
    // "\r\n". Empty when nothing is selected.
    QString GetSelectedText() const;
    // Text of column n of the selected rows, each ending "\r\n".
    QString GetSelectedColumnText(int column) const;
    // Put those texts on the clipboard; false (clipboard untouched) when empty.
    bool CopyAsText() const;
    bool CopyColumn(int column) const;

    // Grid lines between cells.
    void SetShowGrid(bool show, bool redraw);
    // Column header shown or hidden.
    void SetHeaderVisible(bool visible);
    bool IsHeaderVisible() const;
    // The text shown in an empty list.
    void SetEmptyPrompt(const QString& prompt);
    const QString& GetEmptyPrompt() const noexcept { return m_prompt; }
    // The list's own colours, the starting point of the colour callbacks.
    QColor GetTextColor() const;
    QColor GetBkColor() const;

    // The text a cell shows in a width of pixels: the full text, or the
    // alternative text where the column allows it and the full one is wider.
    // fits, when given, is set when the text returned is known to fit the
    // width (a full text that was measured for the choice).
    QString GetDisplayText(int row, int column, int width, bool* fits = nullptr) const;
    // The column width that shows text whole in a cell (text and margins).
    int GetCellWidth(const QString& text) const;

    // Scrolls rows into view; the sideways position stays, since rows are
    // selected whole and a column may be wider than the list.
    void scrollTo(const QModelIndex& index, ScrollHint hint = QAbstractItemView::EnsureVisible) override;

signals:
    // A header section was clicked while sorting is enabled.
    void headerClicked(int column);

protected:
    // Cell texts; both are asked for again whenever the cell is drawn.
    virtual QString OnGetItemText(int item, int subItem) const;
    virtual QString OnGetItemAltText(int item, int subItem) const;
    // Row colours; selected: the row is selected; focused: it is the current row.
    virtual QColor OnGetItemTextColor(int item, int subItem, bool selected, bool focused) const;
    virtual QColor OnGetItemBkColor(int item, int subItem, bool selected, bool focused) const;

    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

private:
    struct Column {
        QString title;
        int width = 0;
        int format = OVLC_FMT_LEFT;
        int flags = 0;
    };

    COvListModel* m_model = nullptr;
    std::vector<Column> m_columns;
    bool m_sortEnabled = false;
    bool m_rowsAdded = false;  // the scroll range may lag behind the row count
    QString m_prompt;
};

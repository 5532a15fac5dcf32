#pragma once
// Chart control of the outside UI library: a real-time chart of several
// series over QCustomPlot.
//
// Data. Series are addressed by index; every point is a double, and the value
// OVCHART_HIDDEN (or NaN) marks a point that is not drawn, leaving a gap. All
// series share one x axis whose value is the point's index, counted from the
// last OpenData with OVCHART_VALUES alone. The control keeps a scrolling
// buffer of the newest points of every series (SetRealTimeBufferSize; the
// oldest point leaves when a new one arrives) as 32-bit floats, plus a
// minimum/maximum summary per 128 points, and hands the plot only the visible
// window reduced to the minimum and maximum of each pixel column, gaps kept.
// Memory and drawing cost therefore do not grow with the length of a run.
// Lines of a window of no more points than pixel columns keep their picture
// between draws: a sample that moves the window on paints only its newest
// columns, so a thousand series cost little more per sample than a few.
//
// Batches. OpenData / SetValue / CloseData write values:
//   OpenData(OVCHART_VALUES, n, p)  replaces all data by n series of p points
//                                   (hidden until set); the series exist from
//                                   the open on, so legend texts can be set;
//   OpenData(OVCHART_VALUES | OVCHART_ADDPOINTS, n, p)
//                                   appends p points (more when SetValue names
//                                   a later point) to every series; series
//                                   beyond the current count are added with a
//                                   hidden history, series not written get
//                                   hidden points;
//   CloseData(OVCHART_VALUES [| OVCHART_SCROLL])
//                                   commits the batch and redraws once (a
//                                   hidden control draws when shown); the
//                                   scroll bits are accepted, and a following
//                                   plot always moves on to the newest point.
// An OpenData while a batch is open drops the open batch, so a caller that
// abandons its calls after a failure leaves the control usable.
//
// Following and scrolling. In real-time mode OVCHART_RT_SCROLL the visible
// window (300 points at first) ends at the newest point. The user drags the x
// axis with the left button and zooms it with the wheel through the whole
// buffer; the plot then stays where the user left it. A double-click, the End
// key, or dragging the window up to the newest point make it follow again.
// Real-time mode OVCHART_RT_OFF shows the whole buffer.
//
// Look. Galleries line, bar and area. Where the window holds more points than
// the axis has pixels, a line shows as a band from the minimum to the maximum
// of each pixel column, an area and bars show the maxima. The series-count
// parameter of a gallery is the number of series whose bars stand side by
// side in one point's slot (1: the bars of all series overlap, later series in
// front); lines and areas keep it without visible effect. The 3D view gives
// every series depth: a darker copy of the series shifted 6 pixels right and
// up stands behind it; a thin line is joined to its copy by a shaded band and
// becomes a ribbon, bands, areas and bars become slabs.
//
// Room. An axis title longer than its axis is wrapped into up to three lines,
// or left out when even these do not hold it: a title is shown whole or not
// at all. Axis labels that would overlap the label before them, or reach past
// the control's edge, are left empty. The legend box shows as many entries as
// fit in the plot area, in columns up to half its width; when not all fit,
// its last line tells which entries of how many are shown, and the wheel over
// the box turns to the next or previous column of entries.
//
// Results: 1 for success, 0 for failure; a failing call changes nothing.
// All calls belong to the GUI thread.
#include <QFont>
#include <QRect>
#include <QSharedPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QCustomPlot;

// Value of a point that is not drawn.
inline constexpr double OVCHART_HIDDEN = 1.0e108;

// Flags of OpenData and CloseData.
inline constexpr unsigned OVCHART_VALUES = 0x01;
inline constexpr unsigned OVCHART_SCROLL = 0x30;  // either bit suffices
inline constexpr unsigned OVCHART_ADDPOINTS = 0x80;

// Galleries.
inline constexpr int OVCHART_LINE = 1;
inline constexpr int OVCHART_BAR = 2;
inline constexpr int OVCHART_AREA = 3;

// Axes.
inline constexpr int OVCHART_AXIS_X = 0;
inline constexpr int OVCHART_AXIS_Y = 1;

// Real-time modes.
inline constexpr int OVCHART_RT_OFF = 0;
inline constexpr int OVCHART_RT_SCROLL = 2;

// Export formats.
inline constexpr int OVCHART_FORMAT_BMP = 4;

// Mouse buttons of the mouse event.
inline constexpr int OVCHART_BUTTON_LEFT = 0x100000;
inline constexpr int OVCHART_BUTTON_RIGHT = 0x200000;
inline constexpr int OVCHART_BUTTON_MIDDLE = 0x400000;

// Limits.
inline constexpr int OVCHART_MAX_SERIES = 1024;
inline constexpr int OVCHART_DEFAULT_BUFFER = 360000;
inline constexpr int OVCHART_MAX_BUFFER = 1 << 24;

class CChartBuffer;
class CChartColumns;
class CChartLines;
class CChartLegendPages;
class CChartTicker;
class QCPAbstractPlottable;
class QCPBarsGroup;

class COvChartCtrl : public QWidget {
public:
    // Label event: called for every axis label about to be drawn, with the
    // axis and the proposed text (on the x axis the point's index); the
    // handler may replace the text.
    using LabelHandler = std::function<void(int axis, QString& text)>;
    // Mouse event: a button pressed at x, y in the control's coordinates.
    using MouseHandler = std::function<void(int button, int x, int y)>;

    explicit COvChartCtrl(QWidget* parent = nullptr);
    ~COvChartCtrl() override;
    COvChartCtrl(const COvChartCtrl&) = delete;
    COvChartCtrl& operator=(const COvChartCtrl&) = delete;

    // Opens a batch of values; see the flags above. 0 for unknown flags or
    // counts outside 1..OVCHART_MAX_SERIES series and 0..buffer size points.
    int OpenData(unsigned flags, int series, int points);
    // Sets one value of the open batch; 0 outside a batch or its range.
    int SetValue(int series, int point, double value);
    // Commits the open batch and redraws; 0 without an open batch or for
    // unknown flags (the batch stays open then).
    int CloseData(unsigned flags);

    // Legend text of a series; 0 for an index outside the series.
    int SetSeriesLegend(int series, const QString& text);
    // Shows or hides the legend box (it stays hidden while no entry fits).
    int SetLegendBox(bool on);
    // Gallery OVCHART_LINE, OVCHART_BAR or OVCHART_AREA.
    int SetGallery(int gallery);
    // Series-count parameter of the gallery, 1..OVCHART_MAX_SERIES.
    int SetGallerySeriesCount(int count);
    // 3D view on or off.
    int Set3D(bool on);
    // Grid lines of one axis on or off.
    int SetGrid(int axis, bool on);
    // Title text and title font of one axis.
    int SetAxisTitle(int axis, const QString& text);
    int SetAxisTitleFont(int axis, const QFont& font);
    // Points kept per series, 1..OVCHART_MAX_BUFFER; the newest are kept.
    int SetRealTimeBufferSize(int points);
    // OVCHART_RT_OFF or OVCHART_RT_SCROLL.
    int SetRealTimeMode(int mode);
    // Writes the chart as drawn, at the control's size, to a file;
    // OVCHART_FORMAT_BMP only (a Windows bitmap). The file is replaced only
    // when the whole picture was written.
    int Export(int format, const QString& path);

    void SetLabelHandler(LabelHandler handler);
    void SetMouseHandler(MouseHandler handler);

    // Makes the plot follow the newest point again.
    void FollowNewest();
    bool IsFollowing() const noexcept { return m_following; }

    // State, for the owner and for tests.
    int SeriesCount() const noexcept;
    // Index of the oldest kept point and one past the newest.
    std::int64_t FirstPoint() const noexcept;
    std::int64_t EndPoint() const noexcept;
    // Kept value of a point; OVCHART_HIDDEN for a gap or a point not kept.
    double Value(int series, std::int64_t point) const noexcept;
    int BufferSize() const noexcept;
    int Gallery() const noexcept { return m_gallery; }
    int GallerySeriesCount() const noexcept { return m_galleryCount; }
    bool Is3D() const noexcept { return m_3d; }
    bool HasLegendBox() const noexcept { return m_legendOn; }
    QString SeriesLegend(int series) const;
    // Series whose entries the legend box shows, as of the last drawing:
    // LegendFirst() up to, not including, LegendFirst() + LegendShown().
    int LegendFirst() const noexcept;
    int LegendShown() const noexcept;
    // Visible x window, in point indexes.
    double VisibleFirst() const noexcept;
    double VisibleLast() const noexcept;
    // Bytes held for the points of all series (buffer and summaries).
    std::size_t BufferBytes() const noexcept;
    // The plot itself, for drawing statistics; its data are the control's.
    QCustomPlot* Plot() const noexcept { return m_plot; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Batch;
    struct SeriesLook;

    void Redraw();
    void QueueRedraw();
    void Prepare();
    void RebuildPlottables();
    // Plottables for the series that have none yet, made or taken from those set aside.
    void AddPlottables();
    // Hides every series' plottables, empties them and the legend, for later series.
    void SetPlottablesAside();
    SeriesLook MakePlottables(std::size_t series);
    void JoinBarsGroup(std::size_t series, const SeriesLook& look);
    void UpdateWindow();
    void FillPlottables();
    void FitTitles();
    void LayLegend();
    void OnUserRange(double lower, double upper);

    QCustomPlot* m_plot = nullptr;
    // Shared with the axes, which may keep them longer than the control.
    QSharedPointer<CChartTicker> m_xTicker;
    QSharedPointer<CChartTicker> m_yTicker;
    std::unique_ptr<CChartBuffer> m_buffer;
    std::unique_ptr<Batch> m_batch;
    std::vector<SeriesLook> m_looks;
    // Plottables made for the present gallery and 3D view, by series slot;
    // those beyond the series in use are hidden, kept for later series.
    std::vector<SeriesLook> m_made;
    // Owned here alone; a group and its bars let go of each other when
    // either goes first.
    std::vector<std::unique_ptr<QCPBarsGroup>> m_barsGroups;
    CChartColumns* m_columns = nullptr;       // owned by the plot
    CChartLines* m_lines = nullptr;           // owned by the plot
    std::pair<int, int> m_linesLook{-1, -1};  // series and depth m_lines was given
    std::unique_ptr<CChartLegendPages> m_legendPages;
    MouseHandler m_mouseHandler;
    QString m_titles[2];  // axis titles as set, x and y

    int m_gallery = OVCHART_LINE;
    int m_galleryCount = 1;
    bool m_3d = false;
    int m_mode = OVCHART_RT_SCROLL;
    bool m_following = true;
    bool m_dirty = true;                // the plot's data no longer match the window
    bool m_plottablesDirty = true;      // gallery, 3D or the bars' series count changed
    std::size_t m_plottablesBuilt = 0;  // series shown with their plottables and legend items
    bool m_settingRange = false;        // our own axis range changes
    bool m_redrawQueued = false;
    bool m_legendOn = false;
    bool m_legendDirty = true;     // entries, names or room changed
    int m_relayouts = 0;           // redraws in a row for a changed layout
    QRect m_layoutUsed;            // plot area the data, titles and legend were fitted to
    QRect m_legendRoom;            // room the legend's entries were placed in
    double m_windowWidth = 300.0;  // visible points while following
    double m_userLower = 0.0;      // window chosen by the user
};

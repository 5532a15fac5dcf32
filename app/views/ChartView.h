#pragma once
// The response-time chart: one series per host of the run that had not
// failed when the run started (the first OVCHART_MAX_SERIES of them; the
// status bar says so once when there are more), one point per series on every
// tick of a timer at the document's poll interval (a reply's response time, a
// gap for any other outcome, -2.0 for a host that is gone). The x axis is
// labelled with the time each sample was taken, kept beside the points.
// Commands: 3D, legend box, grid lines, line/area/bar gallery and saving as a
// bitmap; the right-button menu and saving work once a run has started.
//
// A chart call that fails makes the handler skip the rest of its chart calls;
// the control stays usable and the next handler tries again.
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include <QString>
#include <QTimer>
#include <QWidget>

#include "OvPingDoc.h"

class COvChartCtrl;
class QMenu;

class CChartView final : public QWidget, public IPingView {
    Q_OBJECT

public:
    // Gallery values of the control.
    enum : int { kLine = 1, kBar = 2, kArea = 3 };
    // Hidden points that precede the samples of a run.
    static constexpr int kPlaceholderPoints = 299;
    // Points kept per series.
    static constexpr int kBufferPoints = 360000;
    // Value of a series whose host is gone.
    static constexpr double kVanishedHost = -2.0;

    // Asks for the file to save the chart to (parent: the view); an empty
    // text cancels. The default shows a save-file dialog for "Chart.bmp" of
    // type bmp that asks before replacing a file.
    using SaveDialog = std::function<QString(QWidget* parent)>;
    // Seconds since 1970 now; the default reads the clock the hosts stamp
    // their events with.
    using Clock = std::function<std::int64_t()>;

    // Registers with doc for its hints.
    explicit CChartView(COvPingDoc& doc, QWidget* parent = nullptr);
    ~CChartView() override;

    void OnUpdate(UINT hint) override;

    // The empty chart before the first run: axes and the y title, no legend.
    // Runs once; later calls do nothing.
    void InitialUpdate();
    // Rebuilds the series from the document's hosts and starts the sample
    // timer, as a run start does.
    void SetUpRun();
    // Adds series for the hosts that a run starting in steps added since the
    // last sample (a sample adds them itself).
    void AddNewSeries();
    // Appends one point to every series, as a tick of the sample timer does,
    // and keeps the time it was taken.
    void Sample();
    // Text of the x label of point (its index since the run's set-up): the
    // time of its sample; empty for the placeholder points.
    QString XLabel(std::int64_t point) const;
    void SetClock(Clock clock);

    // The save command (does nothing before the first run).
    void SaveChart();
    void SetSaveDialog(SaveDialog dialog);
    // Fills menu with the chart commands.
    void BuildContextMenu(QMenu& menu) const;
    // Shows the chart menu at screenPos (does nothing before the first run).
    void ShowContextMenu(const QPoint& screenPos);

    COvChartCtrl* GetChart() const noexcept { return m_chart; }
    bool IsReady() const noexcept { return m_ready; }
    // Host index of every series.
    const std::vector<UINT>& SeriesHosts() const noexcept { return m_series; }
    const QTimer& SampleTimer() const noexcept { return m_sample; }

signals:
    // The user pressed a mouse button on the chart: it becomes the active view.
    void activated();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void AddCommands();
    void UpdateCommands();
    void Toggle3D();
    void ToggleLegend();
    void ToggleGrid();
    void SetGallery(int gallery);
    void OnChartMouse(int button, int x, int y);
    void OnChartLabel(int axis, QString& text) const;
    void StartSampleTimer();
    void SayChartedHosts();
    // Takes up to most hosts added since into the series list; its size before.
    std::size_t TakeNewHosts(std::size_t most);
    // Legend texts of the series from first on, and what their number sets.
    void NameSeries(std::size_t first);
    void FitChart();

    COvPingDoc& m_doc;
    COvChartCtrl* m_chart;
    bool m_3d = true;
    bool m_gridlines = true;
    bool m_legend = true;
    int m_gallery = kLine;
    bool m_ready = false;
    bool m_initialised = false;
    std::vector<UINT> m_series;
    // Time of every sample whose point the chart keeps, oldest first; the
    // first is the time of sample m_firstSample.
    std::deque<std::int64_t> m_sampleTimes;
    std::int64_t m_firstSample = 0;
    Clock m_clock;
    UINT m_hostsSeen = 0;              // document hosts the series were chosen from
    std::size_t m_unchartedHosts = 0;  // hosts beyond what the control takes
    bool m_saidUncharted = false;      // the status bar said so this run
    QTimer m_sample;
    SaveDialog m_saveDialog;
};

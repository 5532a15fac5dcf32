#include "ChartView.h"

#include <algorithm>
#include <climits>
#include <utility>

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QFont>
#include <QMenu>
#include <QStatusTipEvent>
#include <qcustomplot.h>

#include "MsgFormat.h"
#include "ViewIds.h"
#include "ViewText.h"
#include "ovcppstd.h"
#include "OvChartCtrl.h"
#include "ovui/OvCommand.h"
#include "ovui/OvPictures.h"
#include "platform/clock.h"

namespace {

constexpr int kStartPlaceholder = 5;  // hidden points that let the empty chart draw its axes
constexpr int kTitlePoints = 10;      // font size of the y axis title
constexpr int kChartMargin = 2;       // the control overlaps the view's client area on every side
// Series added by one sample at most while a large run starts: making their
// plottables and laying out the legend again takes time in proportion.
constexpr std::size_t kMostNewSeries = 256;
constexpr std::int32_t kNoEvent = -1;  // not an event type: the host has recorded nothing yet

// The chart calls of one handler: once a call fails, the rest are skipped.
class CChartCalls {
public:
    explicit CChartCalls(COvChartCtrl& chart) noexcept : m_chart(chart) {}

    template <class... Params, class... Args>
    bool operator()(int (COvChartCtrl::*call)(Params...), Args&&... args) {
        m_ok = m_ok && (m_chart.*call)(std::forward<Args>(args)...) != 0;
        return m_ok;
    }
    bool Ok() const noexcept { return m_ok; }

private:
    COvChartCtrl& m_chart;
    bool m_ok = true;
};

// A host gets a series unless it had failed when the chart took it in.
bool IsCharted(const CHostProbe* host) {
    return host != nullptr && (host->IsBusy() || host->GetState() == HS_READY);
}

// Value of one sample of host: its reply's response time, a gap for any
// other outcome or before its first event, -2.0 when it is gone.
double SampleOf(const CHostProbe* host) {
    if (host == nullptr) {
        return CChartView::kVanishedHost;
    }
    PING_EVENT event{};
    event.type = kNoEvent;
    host->GetLastEvent(event);
    if (event.type == kNoEvent) {
        return OVCHART_HIDDEN;
    }
    return event.type == PE_REPLY ? static_cast<double>(event.reply.RoundTripTime) : OVCHART_HIDDEN;
}

QString DefaultSaveDialog(QWidget* parent, const QString& title, const QString& filter) {
    QFileDialog dialog(parent, title, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    dialog.selectFile(QStringLiteral("Chart.bmp"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

CChartView::CChartView(COvPingDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_chart(new COvChartCtrl(this)), m_clock([] { return _time64(nullptr); }) {
    // Right clicks reach the view as the control's mouse event only.
    m_chart->Plot()->setContextMenuPolicy(Qt::PreventContextMenu);
    m_chart->SetMouseHandler([this](int button, int x, int y) { OnChartMouse(button, x, y); });
    m_chart->SetLabelHandler([this](int axis, QString& text) { OnChartLabel(axis, text); });
    m_saveDialog = [](QWidget* parent) {
        return DefaultSaveDialog(parent, OvFindCommand(parent, ID_CHART_SAVE)->iconText(),
                                 OvText(34108, u"Bmp Files (*.bmp)"));
    };
    AddCommands();
    connect(&m_sample, &QTimer::timeout, this, [this] { Sample(); });
    m_doc.AddView(this);
}

CChartView::~CChartView() {
    m_doc.RemoveView(this);
}

void CChartView::AddCommands() {
    struct Command {
        unsigned id;
        unsigned textId;
        const char16_t* text;
        const char* picture;
        void (CChartView::*run)();
    };
    static const Command kCommands[] = {
        {ID_CHART_3D, 34101, u"3&D View", "chart-3d", &CChartView::Toggle3D},
        {ID_CHART_LEGEND, 34102, u"&Legend Box", "chart-legend", &CChartView::ToggleLegend},
        {ID_CHART_GRID, 34103, u"&Gridline", "chart-grid", &CChartView::ToggleGrid},
        {ID_CHART_LINE, 34104, u"&Line Chart", "chart-line", nullptr},
        {ID_CHART_AREA, 34105, u"&Area Chart", "chart-area", nullptr},
        {ID_CHART_BAR, 34106, u"&Bar Chart", "chart-bar", nullptr},
        {ID_CHART_SAVE, 34107, u"&Save Chart", "chart-save", &CChartView::SaveChart},
    };
    for (const Command& c : kCommands) {
        QAction* action = OvAddCommand(this, c.id, OvText(c.textId, c.text));
        action->setIcon(OvPicture(QString::fromLatin1(c.picture)));
        action->setCheckable(c.id != ID_CHART_SAVE);
        if (c.run != nullptr) {
            connect(action, &QAction::triggered, this, [this, run = c.run] { (this->*run)(); });
        }
    }
    connect(OvFindCommand(this, ID_CHART_LINE), &QAction::triggered, this, [this] { SetGallery(kLine); });
    connect(OvFindCommand(this, ID_CHART_AREA), &QAction::triggered, this, [this] { SetGallery(kArea); });
    connect(OvFindCommand(this, ID_CHART_BAR), &QAction::triggered, this, [this] { SetGallery(kBar); });
    UpdateCommands();
}

void CChartView::UpdateCommands() {
    OvFindCommand(this, ID_CHART_3D)->setChecked(m_3d);
    OvFindCommand(this, ID_CHART_LEGEND)->setChecked(m_legend);
    OvFindCommand(this, ID_CHART_GRID)->setChecked(m_gridlines);
    OvFindCommand(this, ID_CHART_LINE)->setChecked(m_gallery == kLine);
    OvFindCommand(this, ID_CHART_AREA)->setChecked(m_gallery == kArea);
    OvFindCommand(this, ID_CHART_BAR)->setChecked(m_gallery == kBar);
}

void CChartView::InitialUpdate() {
    if (m_initialised) {
        return;
    }
    m_initialised = true;
    CChartCalls calls(*m_chart);
    calls(&COvChartCtrl::Set3D, m_3d);
    calls(&COvChartCtrl::SetGrid, OVCHART_AXIS_X, m_gridlines);
    calls(&COvChartCtrl::SetGrid, OVCHART_AXIS_Y, m_gridlines);
    calls(&COvChartCtrl::SetGallery, m_gallery);
    // The legend flag takes effect at the first run.
    calls(&COvChartCtrl::SetLegendBox, false);
    calls(&COvChartCtrl::OpenData, OVCHART_VALUES | OVCHART_ADDPOINTS, 1, kStartPlaceholder);
    for (int p = 0; p < kStartPlaceholder; ++p) {
        calls(&COvChartCtrl::SetValue, 0, p, OVCHART_HIDDEN);
    }
    calls(&COvChartCtrl::SetAxisTitle, OVCHART_AXIS_Y, OvText(33041, u"Response Time(ms)"));
    QFont titleFont = font();
    titleFont.setPointSize(kTitlePoints);
    calls(&COvChartCtrl::SetAxisTitleFont, OVCHART_AXIS_Y, titleFont);
    calls(&COvChartCtrl::CloseData, OVCHART_VALUES | OVCHART_SCROLL);
    FitChart();
}

void CChartView::OnUpdate(UINT hint) {
    switch (hint) {
        case HINT_RUN_STARTED:
            SetUpRun();
            break;
        case HINT_HOSTS_ADDED:
            break;  // the next sample adds their series
        case HINT_RUN_STOPPED:
            m_sample.stop();
            // A run stopped while it started keeps the hosts it had.
            AddNewSeries();
            break;
        case HINT_SETTINGS_CHANGED:
            if (m_doc.IsRunning()) {
                StartSampleTimer();
            }
            break;
        default:
            break;
    }
}

void CChartView::SetUpRun() {
    m_series.clear();
    m_hostsSeen = 0;
    m_unchartedHosts = 0;
    m_saidUncharted = false;
    TakeNewHosts(OVCHART_MAX_SERIES);
    const int n = static_cast<int>(m_series.size());

    CChartCalls calls(*m_chart);
    // The legend box stays off while the chart is rebuilt.
    calls(&COvChartCtrl::SetLegendBox, false);
    calls(&COvChartCtrl::SetRealTimeBufferSize, kBufferPoints);
    calls(&COvChartCtrl::SetRealTimeMode, OVCHART_RT_SCROLL);
    // Without a series one hidden series replaces the previous run's points.
    calls(&COvChartCtrl::OpenData, OVCHART_VALUES, std::max(n, 1), kPlaceholderPoints);
    for (int j = 0; j < n; ++j) {
        const CHostProbe* host = m_doc.GetHost(m_series[static_cast<std::size_t>(j)]);
        calls(&COvChartCtrl::SetSeriesLegend, j, host != nullptr ? ToQString(host->GetHostName()) : QString());
        for (int p = 0; p < kPlaceholderPoints; ++p) {
            calls(&COvChartCtrl::SetValue, j, p, OVCHART_HIDDEN);
        }
    }
    calls(&COvChartCtrl::CloseData, OVCHART_VALUES);
    // Bars stand side by side for the series of this run, not of the last one.
    if (m_gallery == kBar) {
        calls(&COvChartCtrl::SetGallerySeriesCount, std::max(n, 1));
    }
    calls(&COvChartCtrl::SetLegendBox, m_legend && n > 0);

    m_sampleTimes.clear();
    m_firstSample = 0;
    StartSampleTimer();
    m_ready = true;
}

// Tells once a run, in the status bar of the window, that only the first
// hosts are charted.
void CChartView::SayChartedHosts() {
    if (m_unchartedHosts == 0 || m_saidUncharted) {
        return;
    }
    m_saidUncharted = true;
    const int shown = static_cast<int>(m_series.size());
    const int all = static_cast<int>(std::min<std::size_t>(m_series.size() + m_unchartedHosts, INT_MAX));
    QStatusTipEvent tip(
        QString::fromUtf16(LoadFormatString(34650, u"The chart shows the first %d_a% of %d_b% hosts.", shown, all)));
    QCoreApplication::sendEvent(this, &tip);
}

std::size_t CChartView::TakeNewHosts(std::size_t most) {
    const std::size_t before = m_series.size();
    const std::size_t limit = std::min<std::size_t>(before + most, OVCHART_MAX_SERIES);
    for (; m_hostsSeen < m_doc.GetHostCount(); ++m_hostsSeen) {
        if (!IsCharted(m_doc.GetHost(m_hostsSeen))) {
            continue;
        }
        if (m_series.size() < limit) {
            m_series.push_back(m_hostsSeen);
        } else if (m_series.size() < OVCHART_MAX_SERIES) {
            break;  // the rest join at a later sample
        } else {
            ++m_unchartedHosts;  // beyond what the control takes: counted, never charted
        }
    }
    SayChartedHosts();
    return before;
}

void CChartView::NameSeries(std::size_t first) {
    CChartCalls calls(*m_chart);
    const int n = static_cast<int>(m_series.size());
    for (int j = static_cast<int>(first); j < n; ++j) {
        const CHostProbe* host = m_doc.GetHost(m_series[static_cast<std::size_t>(j)]);
        calls(&COvChartCtrl::SetSeriesLegend, j, host != nullptr ? ToQString(host->GetHostName()) : QString());
    }
    if (m_gallery == kBar) {
        calls(&COvChartCtrl::SetGallerySeriesCount, n);
    }
    calls(&COvChartCtrl::SetLegendBox, m_legend);
}

void CChartView::AddNewSeries() {
    const std::size_t before = TakeNewHosts(OVCHART_MAX_SERIES);
    if (m_series.size() == before) {
        return;
    }
    CChartCalls calls(*m_chart);
    // No points: the new series get a hidden history as long as the others'.
    calls(&COvChartCtrl::OpenData, OVCHART_VALUES | OVCHART_ADDPOINTS, static_cast<int>(m_series.size()), 0);
    if (calls(&COvChartCtrl::CloseData, OVCHART_VALUES)) {
        NameSeries(before);
    }
}

void CChartView::Sample() {
    // Hosts that a run starting in steps added since the last sample join
    // here, so that the chart is laid out again once per sample, not per
    // step, and a few hundred at a time.
    const std::size_t before = TakeNewHosts(kMostNewSeries);
    if (m_series.empty()) {
        return;
    }
    const int n = static_cast<int>(m_series.size());
    const std::int64_t now = m_clock();
    CChartCalls calls(*m_chart);
    calls(&COvChartCtrl::OpenData, OVCHART_VALUES | OVCHART_ADDPOINTS, n, 1);
    for (int i = 0; i < n; ++i) {
        calls(&COvChartCtrl::SetValue, i, 0, SampleOf(m_doc.GetHost(m_series[static_cast<std::size_t>(i)])));
    }
    if (!calls(&COvChartCtrl::CloseData, OVCHART_VALUES | OVCHART_SCROLL)) {
        return;
    }
    // The times of points the chart no longer keeps go with them.
    m_sampleTimes.push_back(now);
    while (m_sampleTimes.size() > static_cast<std::size_t>(kBufferPoints)) {
        m_sampleTimes.pop_front();
        ++m_firstSample;
    }
    if (m_series.size() != before) {
        NameSeries(before);
    }
}

QString CChartView::XLabel(std::int64_t point) const {
    const std::int64_t k = point - kPlaceholderPoints - m_firstSample;
    if (point < kPlaceholderPoints || k < 0 || k >= static_cast<std::int64_t>(m_sampleTimes.size())) {
        return {};
    }
    return ToQString(FormatDateTime(m_sampleTimes[static_cast<std::size_t>(k)]));
}

void CChartView::SetClock(Clock clock) {
    m_clock = std::move(clock);
}

void CChartView::OnChartLabel(int axis, QString& text) const {
    if (axis != OVCHART_AXIS_X) {
        return;
    }
    bool number = false;
    const qlonglong point = text.toLongLong(&number);
    if (number) {
        text = XLabel(point);
    }
}

void CChartView::StartSampleTimer() {
    m_sample.start(static_cast<int>(std::min<DWORD>(m_doc.PollTime(), INT_MAX)));
}

void CChartView::Toggle3D() {
    m_3d = !m_3d;
    UpdateCommands();
    CChartCalls{*m_chart}(&COvChartCtrl::Set3D, m_3d);
}

void CChartView::ToggleLegend() {
    m_legend = !m_legend;
    UpdateCommands();
    // Before the first run there is nothing to name: the box stays hidden.
    CChartCalls{*m_chart}(&COvChartCtrl::SetLegendBox, m_legend && m_ready && !m_series.empty());
}

void CChartView::ToggleGrid() {
    m_gridlines = !m_gridlines;
    UpdateCommands();
    CChartCalls calls(*m_chart);
    calls(&COvChartCtrl::SetGrid, OVCHART_AXIS_X, m_gridlines);
    calls(&COvChartCtrl::SetGrid, OVCHART_AXIS_Y, m_gridlines);
}

void CChartView::SetGallery(int gallery) {
    m_gallery = gallery;
    UpdateCommands();
    const int count = gallery == kBar ? static_cast<int>(std::min<std::size_t>(m_series.size(), INT_MAX)) : 1;
    CChartCalls calls(*m_chart);
    calls(&COvChartCtrl::SetGallery, gallery);
    calls(&COvChartCtrl::SetGallerySeriesCount, count);
}

void CChartView::SetSaveDialog(SaveDialog dialog) {
    m_saveDialog = std::move(dialog);
}

void CChartView::SaveChart() {
    if (!m_ready || !m_saveDialog) {
        return;
    }
    const QString path = m_saveDialog(this);
    if (!path.isEmpty()) {
        CChartCalls{*m_chart}(&COvChartCtrl::Export, OVCHART_FORMAT_BMP, path);
    }
}

void CChartView::BuildContextMenu(QMenu& menu) const {
    for (const unsigned id : {ID_CHART_3D, ID_CHART_LEGEND, ID_CHART_GRID, 0u, ID_CHART_LINE, ID_CHART_AREA,
                              ID_CHART_BAR, 0u, ID_CHART_SAVE}) {
        if (id == 0) {
            menu.addSeparator();
        } else {
            OvAddMenuCommand(menu, id, OvFindCommand(this, id)->text(), this);
        }
    }
}

void CChartView::ShowContextMenu(const QPoint& screenPos) {
    if (!m_ready) {
        return;
    }
    QMenu menu(this);
    BuildContextMenu(menu);
    OvTrackPopupMenu(menu, screenPos, this);
}

void CChartView::OnChartMouse(int button, int x, int y) {
    emit activated();
    if (button == OVCHART_BUTTON_RIGHT) {
        ShowContextMenu(m_chart->mapToGlobal(QPoint(x, y)));
    }
}

void CChartView::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    // From the keyboard the menu opens at the mouse pointer.
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard ? QCursor::pos() : event->globalPos();
    ShowContextMenu(at);
}

void CChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FitChart();
}

void CChartView::FitChart() {
    m_chart->setGeometry(rect().adjusted(-kChartMargin, -kChartMargin, kChartMargin, kChartMargin));
    m_chart->update();
}

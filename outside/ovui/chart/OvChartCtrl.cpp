#include "OvChartCtrl.h"

#include "ChartBuffer.h"
#include "ChartColumns.h"
#include "ChartLegend.h"
#include "ChartLines.h"
#include "ChartTicker.h"

#include <QKeyEvent>
#include <QSaveFile>
#include <QTextLayout>
#include <QTimer>
#include <QWheelEvent>
#include <qcustomplot.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr double kDepthPixels = 6.0;    // 3D: shift of the copy behind a series
constexpr double kFollowWidth = 300.0;  // points shown while following, at first
constexpr double kMinWidth = 10.0;      // narrowest window the user can zoom to
constexpr int kLabelPixels = 170;       // room for one x label
constexpr int kTitleLines = 3;          // most lines an axis title is wrapped into
constexpr int kMaxRelayouts = 3;        // redraws in a row for a layout that keeps changing
constexpr const char* kDepthLayer = "depth";
// A hidden layer for the plottables of series that the shared plottables
// draw: they stay for the legend, and cost the drawing nothing there.
constexpr const char* kCarrierLayer = "carriers";

static_assert(sizeof(CHART_POINT) == sizeof(QCPGraphData) && sizeof(CHART_POINT) == sizeof(QCPBarsData),
              "reduced points are copied into the plot's data as they are");

QColor SeriesColor(int series) {
    static const QRgb kPalette[] = {0x1f77b4, 0xd62728, 0x2ca02c, 0xff7f0e, 0x9467bd, 0x8c564b,
                                    0xe377c2, 0x17becf, 0xbcbd22, 0x7f7f7f, 0x393b79, 0xad494a};
    constexpr int n = int(std::size(kPalette));
    const QColor base(kPalette[series % n]);
    return (series / n) % 2 ? base.lighter(135) : base;
}

// Copies reduced points into a plot data container of the same layout.
template <class Data, class Container>
void SetPoints(Container& container, const std::vector<CHART_POINT>& points, double dKey, double dValue) {
    QVector<Data> data(qsizetype(points.size()));
    if (!points.empty()) {
        std::memcpy(static_cast<void*>(data.data()), points.data(), points.size() * sizeof(CHART_POINT));
    }
    if (dKey != 0.0 || dValue != 0.0) {
        for (Data& d : data) {
            d.key += dKey;
            d.value += dValue;
        }
    }
    container.set(data, true);
}

// The title as shown along an axis length pixels long: whole when it fits,
// else wrapped at the places the text allows (anywhere in a word that is too
// long) into at most kTitleLines lines, else empty.
QString FitTitle(const QString& title, const QFont& font, int length) {
    if (title.isEmpty() || length < 1 || QFontMetrics(font).horizontalAdvance(title) <= length) {
        return title;
    }
    QTextLayout layout(title, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(length);
        lines.append(title.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    lines.removeAll(QString());
    return lines.size() <= kTitleLines ? lines.join(QLatin1Char('\n')) : QString();
}

int MouseButton(Qt::MouseButton button) {
    switch (button) {
        case Qt::LeftButton:
            return OVCHART_BUTTON_LEFT;
        case Qt::RightButton:
            return OVCHART_BUTTON_RIGHT;
        case Qt::MiddleButton:
            return OVCHART_BUTTON_MIDDLE;
        default:
            return 0;
    }
}

}  // namespace

// Values written since OpenData, point by point, NaN when hidden.
struct COvChartCtrl::Batch {
    bool add = false;
    int series = 0;
    int points = 0;
    std::vector<float> values;
};

// What the plot draws for one series.
struct COvChartCtrl::SeriesLook {
    QString legend;
    QCPAbstractPlottable* main = nullptr;  // owned by the plot
    QCPAbstractPlottable* back = nullptr;  // 3D copy behind it, owned by the plot
};

COvChartCtrl::COvChartCtrl(QWidget* parent)
    : QWidget(parent),
      m_buffer(std::make_unique<CChartBuffer>()),
      m_legendPages(std::make_unique<CChartLegendPages>()) {
    m_buffer->Reset(0, OVCHART_DEFAULT_BUFFER);
    setFocusPolicy(Qt::ClickFocus);

    m_plot = new QCustomPlot(this);
    m_plot->setFocusPolicy(Qt::NoFocus);
    m_plot->setGeometry(rect());
    m_plot->setBackground(Qt::white);
    m_plot->addLayer(kDepthLayer, m_plot->layer("main"), QCustomPlot::limBelow);
    m_plot->addLayer(kCarrierLayer, m_plot->layer(kDepthLayer), QCustomPlot::limBelow);
    m_plot->layer(kCarrierLayer)->setVisible(false);
    // One paint buffer for all layers: the overlay would take a second one of
    // the plot's full size, for the selection rectangle we never draw.
    m_plot->layer("overlay")->setMode(QCPLayer::lmLogical);
    m_plot->setNotAntialiasedElements(QCP::aePlottables);
    m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    m_plot->axisRect()->setRangeDrag(Qt::Horizontal);
    m_plot->axisRect()->setRangeZoom(Qt::Horizontal);
    // The legend holds the entries of one page, placed by LayLegend.
    m_plot->setAutoAddPlottableToLegend(false);
    m_plot->legend->setVisible(false);
    // Legend items are added for the series alone, not for their 3D copies.
    m_plot->setAutoAddPlottableToLegend(false);
    m_plot->legend->setBrush(QColor(255, 255, 255, 220));
    m_plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignLeft);
    m_plot->installEventFilter(this);

    m_xTicker = QSharedPointer<CChartTicker>::create(OVCHART_AXIS_X);
    m_yTicker = QSharedPointer<CChartTicker>::create(OVCHART_AXIS_Y);
    m_plot->xAxis->setTicker(m_xTicker);
    m_plot->yAxis->setTicker(m_yTicker);
    m_plot->xAxis->grid()->setVisible(true);
    m_plot->yAxis->grid()->setVisible(true);

    connect(m_plot->xAxis, qOverload<const QCPRange&>(&QCPAxis::rangeChanged), this, [this](const QCPRange& range) {
        if (!m_settingRange) {
            OnUserRange(range.lower, range.upper);
        }
    });
    connect(m_plot, &QCustomPlot::mousePress, this, [this](QMouseEvent* event) {
        const int button = MouseButton(event->button());
        const QPoint pos = m_plot->mapTo(this, event->position().toPoint());
        if (button && m_mouseHandler) {
            m_mouseHandler(button, pos.x(), pos.y());
        }
    });
    connect(m_plot, &QCustomPlot::mouseDoubleClick, this, [this](QMouseEvent*) { FollowNewest(); });
    // The plot area is known only after the plot's layout; data, titles and
    // legend fitted to another area are fitted again, a few times at most
    // should the layout keep changing.
    connect(m_plot, &QCustomPlot::afterReplot, this, [this] {
        if (m_plot->axisRect()->rect() == m_layoutUsed) {
            m_relayouts = 0;
        } else if (++m_relayouts <= kMaxRelayouts) {
            m_dirty = true;
            QueueRedraw();
        } else {
            m_relayouts = 0;
        }
    });
}

COvChartCtrl::~COvChartCtrl() {
    // The plot outlives this object's members: it must not call back.
    m_plot->removeEventFilter(this);
    m_plot->disconnect(this);
    m_plot->xAxis->disconnect(this);
    // Plottables go before their bar groups; the legend before the
    // plottables (see RebuildPlottables).
    m_plot->legend->clearItems();
    m_plot->clearPlottables();
}

int COvChartCtrl::OpenData(unsigned flags, int series, int points) {
    if (!(flags & OVCHART_VALUES) || (flags & ~(OVCHART_VALUES | OVCHART_ADDPOINTS)) || series < 1 ||
        series > OVCHART_MAX_SERIES || points < 0 || points > BufferSize()) {
        return 0;
    }
    m_batch.reset();  // an abandoned batch is dropped
    auto batch = std::make_unique<Batch>();
    batch->add = (flags & OVCHART_ADDPOINTS) != 0;
    batch->series = series;
    batch->points = points;
    batch->values.assign(std::size_t(series) * std::size_t(points), std::numeric_limits<float>::quiet_NaN());
    if (!batch->add) {
        m_buffer->Reset(series, m_buffer->Capacity());
        m_looks.assign(std::size_t(series), SeriesLook{});
        m_legendPages->Reset();
        m_legendDirty = true;
        SetPlottablesAside();
        if (m_lines) {
            m_lines->Invalidate();
        }
        m_following = true;
        m_windowWidth = std::min(kFollowWidth, double(BufferSize()));
    }
    m_batch = std::move(batch);
    return 1;
}

int COvChartCtrl::SetValue(int series, int point, double value) {
    if (!m_batch || series < 0 || series >= m_batch->series || point < 0 || point >= BufferSize()) {
        return 0;
    }
    if (point >= m_batch->points) {
        m_batch->points = point + 1;
        m_batch->values.resize(std::size_t(m_batch->series) * std::size_t(m_batch->points),
                               std::numeric_limits<float>::quiet_NaN());
    }
    float v = std::numeric_limits<float>::quiet_NaN();
    if (value != OVCHART_HIDDEN && !std::isnan(value)) {
        v = float(std::clamp(value, double(-FLT_MAX), double(FLT_MAX)));
    }
    m_batch->values[std::size_t(point) * std::size_t(m_batch->series) + std::size_t(series)] = v;
    return 1;
}

int COvChartCtrl::CloseData(unsigned flags) {
    if (!m_batch || !(flags & OVCHART_VALUES) || (flags & ~(OVCHART_VALUES | OVCHART_SCROLL))) {
        return 0;
    }
    const std::unique_ptr<Batch> batch = std::move(m_batch);
    if (batch->series > m_buffer->SeriesCount()) {
        m_buffer->AddSeries(batch->series);
        // The new series get plottables of their own; the others keep theirs.
        m_looks.resize(std::size_t(batch->series));
    }
    const std::size_t width = std::size_t(m_buffer->SeriesCount());
    std::vector<float> row(width, std::numeric_limits<float>::quiet_NaN());
    for (int p = 0; p < batch->points; ++p) {
        const float* values = batch->values.data() + std::size_t(p) * std::size_t(batch->series);
        std::copy(values, values + batch->series, row.begin());
        m_buffer->Append(row.data());
    }
    m_dirty = true;
    Redraw();
    return 1;
}

int COvChartCtrl::SetSeriesLegend(int series, const QString& text) {
    if (series < 0 || series >= int(m_looks.size())) {
        return 0;
    }
    SeriesLook& look = m_looks[std::size_t(series)];
    look.legend = text;
    if (look.main) {
        look.main->setName(text);
    }
    m_legendDirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetLegendBox(bool on) {
    m_legendOn = on;
    m_legendDirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::LegendFirst() const noexcept {
    return m_legendPages->First();
}

int COvChartCtrl::LegendShown() const noexcept {
    return m_plot->legend->visible() ? m_legendPages->Shown() : 0;
}

int COvChartCtrl::SetGallery(int gallery) {
    if (gallery != OVCHART_LINE && gallery != OVCHART_BAR && gallery != OVCHART_AREA) {
        return 0;
    }
    m_gallery = gallery;
    m_plottablesDirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetGallerySeriesCount(int count) {
    if (count < 1 || count > OVCHART_MAX_SERIES) {
        return 0;
    }
    m_galleryCount = count;
    m_plottablesDirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::Set3D(bool on) {
    m_3d = on;
    m_plottablesDirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetGrid(int axis, bool on) {
    if (axis != OVCHART_AXIS_X && axis != OVCHART_AXIS_Y) {
        return 0;
    }
    (axis == OVCHART_AXIS_X ? m_plot->xAxis : m_plot->yAxis)->grid()->setVisible(on);
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetAxisTitle(int axis, const QString& text) {
    if (axis != OVCHART_AXIS_X && axis != OVCHART_AXIS_Y) {
        return 0;
    }
    m_titles[axis] = text;
    (axis == OVCHART_AXIS_X ? m_plot->xAxis : m_plot->yAxis)->setLabel(text);
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetAxisTitleFont(int axis, const QFont& font) {
    if (axis != OVCHART_AXIS_X && axis != OVCHART_AXIS_Y) {
        return 0;
    }
    (axis == OVCHART_AXIS_X ? m_plot->xAxis : m_plot->yAxis)->setLabelFont(font);
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetRealTimeBufferSize(int points) {
    if (points < 1 || points > OVCHART_MAX_BUFFER) {
        return 0;
    }
    if (points != m_buffer->Capacity()) {
        m_buffer->SetCapacity(points);
        if (m_lines) {
            m_lines->Invalidate();
        }
    }
    m_windowWidth = std::min(m_windowWidth, double(points));
    m_dirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::SetRealTimeMode(int mode) {
    if (mode != OVCHART_RT_OFF && mode != OVCHART_RT_SCROLL) {
        return 0;
    }
    m_mode = mode;
    m_following = true;
    m_dirty = true;
    QueueRedraw();
    return 1;
}

int COvChartCtrl::Export(int format, const QString& path) {
    if (format != OVCHART_FORMAT_BMP || path.isEmpty() || width() < 1 || height() < 1) {
        return 0;
    }
    // A hidden control has had no layout yet: size the plot here.
    m_plot->setGeometry(rect());
    m_plot->setViewport(m_plot->rect());
    for (int i = 0; i < kMaxRelayouts; ++i) {
        Prepare();
        m_plot->replot(QCustomPlot::rpQueuedRefresh);
        if (m_plot->axisRect()->rect() == m_layoutUsed) {
            break;
        }
    }
    const QImage image = m_plot->toPixmap(width(), height()).toImage().convertToFormat(QImage::Format_RGB32);
    QSaveFile file(path);
    if (image.isNull() || !file.open(QIODevice::WriteOnly) || !image.save(&file, "BMP")) {
        return 0;
    }
    return file.commit() ? 1 : 0;
}

void COvChartCtrl::SetLabelHandler(LabelHandler handler) {
    m_xTicker->SetHandler(handler);
    m_yTicker->SetHandler(std::move(handler));
    QueueRedraw();
}

void COvChartCtrl::SetMouseHandler(MouseHandler handler) {
    m_mouseHandler = std::move(handler);
}

void COvChartCtrl::FollowNewest() {
    m_following = true;
    m_dirty = true;
    Redraw();
}

int COvChartCtrl::SeriesCount() const noexcept {
    return m_buffer->SeriesCount();
}

std::int64_t COvChartCtrl::FirstPoint() const noexcept {
    return m_buffer->First();
}

std::int64_t COvChartCtrl::EndPoint() const noexcept {
    return m_buffer->End();
}

int COvChartCtrl::BufferSize() const noexcept {
    return m_buffer->Capacity();
}

double COvChartCtrl::Value(int series, std::int64_t point) const noexcept {
    if (series < 0 || series >= m_buffer->SeriesCount() || point < m_buffer->First() || point >= m_buffer->End()) {
        return OVCHART_HIDDEN;
    }
    const float v = m_buffer->At(series, point);
    return std::isnan(v) ? OVCHART_HIDDEN : double(v);
}

QString COvChartCtrl::SeriesLegend(int series) const {
    return series >= 0 && series < int(m_looks.size()) ? m_looks[std::size_t(series)].legend : QString();
}

double COvChartCtrl::VisibleFirst() const noexcept {
    return m_plot->xAxis->range().lower;
}

double COvChartCtrl::VisibleLast() const noexcept {
    return m_plot->xAxis->range().upper;
}

std::size_t COvChartCtrl::BufferBytes() const noexcept {
    return m_buffer->Bytes();
}

void COvChartCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    m_plot->setGeometry(rect());
    m_dirty = true;
    QueueRedraw();
}

void COvChartCtrl::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    QueueRedraw();
}

void COvChartCtrl::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_End) {
        FollowNewest();
    } else {
        QWidget::keyPressEvent(event);
    }
}

// The wheel over a legend that does not show every entry turns its page.
bool COvChartCtrl::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_plot || event->type() != QEvent::Wheel || !m_plot->legend->visible() || !m_legendPages->Paged()) {
        return QWidget::eventFilter(watched, event);
    }
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!m_plot->legend->outerRect().contains(wheel->position().toPoint())) {
        return QWidget::eventFilter(watched, event);
    }
    const int steps = wheel->angleDelta().y() / QWheelEvent::DefaultDeltasPerStep;
    if (steps != 0 && m_legendPages->Turn(-steps)) {
        m_legendDirty = true;
        Redraw();
    }
    return true;
}

void COvChartCtrl::QueueRedraw() {
    m_dirty = true;
    if (m_redrawQueued) {
        return;
    }
    m_redrawQueued = true;
    QTimer::singleShot(0, this, [this] {
        m_redrawQueued = false;
        if (m_dirty || m_plottablesDirty) {
            Redraw();
        }
    });
}

// Brings the plot's objects and data up to date without drawing, for the
// plot area of the last layout.
void COvChartCtrl::Prepare() {
    if (m_plottablesDirty) {
        RebuildPlottables();
    } else if (m_plottablesBuilt < m_looks.size()) {
        AddPlottables();
    }
    m_layoutUsed = m_plot->axisRect()->rect();
    UpdateWindow();
    FillPlottables();
    FitTitles();
    LayLegend();
    m_dirty = false;
}

void COvChartCtrl::FitTitles() {
    const QString x = FitTitle(m_titles[OVCHART_AXIS_X], m_plot->xAxis->labelFont(), m_layoutUsed.width());
    const QString y = FitTitle(m_titles[OVCHART_AXIS_Y], m_plot->yAxis->labelFont(), m_layoutUsed.height());
    if (m_plot->xAxis->label() != x) {
        m_plot->xAxis->setLabel(x);
    }
    if (m_plot->yAxis->label() != y) {
        m_plot->yAxis->setLabel(y);
    }
}

// Fills the legend box with the page of entries that fits the plot area.
void COvChartCtrl::LayLegend() {
    QCPLayoutInset* inset = m_plot->axisRect()->insetLayout();
    const QRect room = inset->rect();
    if (!m_legendDirty && room == m_legendRoom) {
        return;
    }
    m_legendDirty = false;
    m_legendRoom = room;
    std::vector<QCPAbstractPlottable*> series;
    if (m_legendOn) {
        series.reserve(m_looks.size());
        for (const SeriesLook& look : m_looks) {
            series.push_back(look.main);
        }
    }
    const int shown = m_legendPages->Lay(*m_plot->legend, series, room);
    m_plot->legend->setVisible(shown > 0);
}

// A hidden control only keeps its points; it draws when shown.
void COvChartCtrl::Redraw() {
    if (!isVisible()) {
        return;
    }
    Prepare();
    // Drawn now, shown with the window's next paint together with whatever
    // else changed: an immediate repaint would paint and flush the window
    // once more on every sample.
    m_plot->replot(QCustomPlot::rpQueuedRefresh);
}

void COvChartCtrl::RebuildPlottables() {
    // The legend is emptied in one step first: a plottable deleted while its
    // legend item stays makes the legend lay out all its other items again.
    m_plot->legend->clearItems();
    m_plot->clearPlottables();
    m_made.clear();
    m_barsGroups.clear();
    m_plottablesBuilt = 0;
    AddPlottables();
    m_columns = new CChartColumns(m_plot->xAxis, m_plot->yAxis);
    m_lines = new CChartLines(m_plot->xAxis, m_plot->yAxis, *m_buffer);
    m_linesLook = {-1, -1};
    m_plottablesDirty = false;
}

void COvChartCtrl::SetPlottablesAside() {
    m_plot->legend->clearItems();
    for (const SeriesLook& made : m_made) {
        for (QCPAbstractPlottable* plottable : {made.main, made.back}) {
            if (auto* graph = qobject_cast<QCPGraph*>(plottable)) {
                graph->data()->clear();
            } else if (auto* bars = qobject_cast<QCPBars*>(plottable)) {
                bars->data()->clear();
                bars->setBarsGroup(nullptr);
            }
            if (plottable) {
                plottable->setVisible(false);
            }
        }
    }
    m_plottablesBuilt = 0;
}

COvChartCtrl::SeriesLook COvChartCtrl::MakePlottables(std::size_t s) {
    SeriesLook look;
    const QColor color = SeriesColor(int(s));
    const QColor dark = color.darker(160);
    if (m_gallery == OVCHART_BAR) {
        auto* bars = new QCPBars(m_plot->xAxis, m_plot->yAxis);
        bars->setWidthType(QCPBars::wtPlotCoords);
        bars->setBrush(color);
        look.main = bars;
        if (m_3d) {
            auto* back = new QCPBars(m_plot->xAxis, m_plot->yAxis);
            back->setWidthType(QCPBars::wtPlotCoords);
            back->setPen(Qt::NoPen);
            back->setBrush(dark);
            look.back = back;
        }
    } else {
        auto* graph = m_plot->addGraph(m_plot->xAxis, m_plot->yAxis);
        graph->setPen(QPen(color, 1.0));  // wider pens take the slow stroker
        look.main = graph;
        if (m_gallery == OVCHART_AREA) {
            QColor fill = color;
            fill.setAlpha(m_3d ? 255 : 110);
            graph->setBrush(fill);
        }
        if (m_3d) {
            auto* back = m_plot->addGraph(m_plot->xAxis, m_plot->yAxis);
            back->setPen(QPen(dark));
            if (m_gallery == OVCHART_AREA) {
                back->setBrush(dark);
            } else {
                // The band between the line and its copy makes a ribbon.
                graph->setChannelFillGraph(back);
                graph->setBrush(color.darker(130));
            }
            look.back = back;
        }
    }
    if (look.back) {
        look.back->setLayer(kDepthLayer);
    }
    return look;
}

void COvChartCtrl::JoinBarsGroup(std::size_t s, const SeriesLook& look) {
    auto* bars = qobject_cast<QCPBars*>(look.main);
    if (!bars || m_galleryCount <= 1) {
        return;
    }
    const std::size_t group = s / std::size_t(m_galleryCount);
    while (group >= m_barsGroups.size()) {
        auto barsGroup = std::make_unique<QCPBarsGroup>(m_plot);
        barsGroup->setParent(nullptr);  // one owner: m_barsGroups
        barsGroup->setSpacing(0);
        m_barsGroups.push_back(std::move(barsGroup));
    }
    bars->setBarsGroup(m_barsGroups[group].get());
    if (auto* back = qobject_cast<QCPBars*>(look.back)) {
        back->setBarsGroup(m_barsGroups[group].get());
    }
}

void COvChartCtrl::AddPlottables() {
    // Plottables set aside by an earlier run serve again, in the same slots
    // (so in the same colours): making and deleting a thousand of them took
    // longer than the window may stand still.
    for (std::size_t s = m_plottablesBuilt; s < m_looks.size(); ++s) {
        if (s == m_made.size()) {
            m_made.push_back(MakePlottables(s));
        }
        SeriesLook& look = m_looks[s];
        look.main = m_made[s].main;
        look.back = m_made[s].back;
        look.main->setVisible(true);
        if (look.back) {
            look.back->setVisible(true);
        }
        JoinBarsGroup(s, look);
        look.main->setName(look.legend);
    }
    // LayLegend gives the new series their entries on the legend's pages.
    m_legendDirty = true;
    m_plottablesBuilt = m_looks.size();
}

void COvChartCtrl::UpdateWindow() {
    const double first = double(m_buffer->First()) - 0.5;
    const double end = double(m_buffer->End()) - 0.5;
    double lower;
    double width = m_windowWidth;
    if (m_following && m_mode == OVCHART_RT_OFF) {
        lower = first;
        width = std::max(1.0, end - first);
    } else if (m_following) {
        lower = std::max(first, end - width);
    } else {
        // Points leaving the buffer take the window with them.
        lower = std::max(first, m_userLower);
    }
    m_userLower = lower;
    m_settingRange = true;
    m_plot->xAxis->setRange(lower, lower + width);
    m_settingRange = false;
    m_xTicker->SetPoints(m_buffer->First(), m_buffer->End());
    m_xTicker->setTickCount(std::max(2, m_layoutUsed.width() / kLabelPixels));
    // Labels may reach into the margins beside an axis, not past the plot.
    const QRect plot = m_plot->rect();
    const QRect& area = m_layoutUsed;
    m_xTicker->SetLabelRoom(area.width(), area.left() - plot.left(), plot.right() - area.right(),
                            m_plot->xAxis->tickLabelFont());
    m_yTicker->SetLabelRoom(area.height(), plot.bottom() - area.bottom(), area.top() - plot.top(),
                            m_plot->yAxis->tickLabelFont());
}

void COvChartCtrl::FillPlottables() {
    if (m_plottablesDirty) {
        RebuildPlottables();
    } else if (m_plottablesBuilt < m_looks.size()) {
        AddPlottables();
    }
    const QCPRange range = m_plot->xAxis->range();
    int pixels = m_layoutUsed.width();
    if (pixels < 10) {
        pixels = std::max(10, width() - 80);
    }
    const std::int64_t step = CChartBuffer::ColumnStep(range.size(), pixels);
    const auto from = std::int64_t(std::floor(range.lower)) - step;
    const auto to = std::int64_t(std::ceil(range.upper)) + step;

    // More points than pixels: the columns plottable draws every series,
    // straight from one reduced series at a time. Otherwise lines are drawn
    // by the lines plottable, straight from the buffer, and areas and bars by
    // the series' own plottables.
    const bool banded = step > 1;
    const bool lines = !banded && m_gallery == OVCHART_LINE;
    const bool own = !banded && !lines;
    m_columns->Clear(range.lower);
    m_columns->SetLook(m_gallery != OVCHART_LINE, m_3d ? int(kDepthPixels) : 0);
    m_lines->SetOn(lines);
    std::vector<CHART_REDUCED> reduced(own ? m_looks.size() : 0);
    CHART_REDUCED scratch;
    double lo = std::numeric_limits<double>::infinity();
    double hi = -lo;
    if (lines) {
        const std::pair<int, int> look{int(m_looks.size()), m_3d ? int(kDepthPixels) : 0};
        if (look != m_linesLook) {
            std::vector<QRgb> colors(m_looks.size());
            for (std::size_t s = 0; s < colors.size(); ++s) {
                colors[s] = SeriesColor(int(s)).rgb();
            }
            m_lines->SetLook(std::move(colors), look.second);
            m_linesLook = look;
        }
        if (!m_buffer->ExtremesOfAll(from, to + 1, lo, hi)) {
            for (std::size_t s = 0; s < m_looks.size(); ++s) {
                m_buffer->Extremes(int(s), from, to + 1, lo, hi);
            }
        }
    }
    for (std::size_t s = 0; s < m_looks.size() && !lines; ++s) {
        CHART_REDUCED& r = banded ? scratch : reduced[s];
        r.upper.clear();
        r.lower.clear();
        m_buffer->Reduce(int(s), from, to, step, r, lo, hi);
        if (banded) {
            const QColor color = SeriesColor(int(s));
            m_columns->AddSeries(r, color.rgb(), color.darker(160).rgb());
        } else if (m_gallery == OVCHART_BAR) {
            // Bars show nothing for gaps.
            r.upper.erase(std::remove_if(r.upper.begin(), r.upper.end(),
                                         [](const CHART_POINT& p) { return std::isnan(p.value); }),
                          r.upper.end());
        }
    }
    if (lo > hi) {
        lo = 0.0;
        hi = 10.0;
    }
    const double yLower = std::min(0.0, lo);
    const double yUpper = hi > yLower ? hi + (hi - yLower) * 0.1 : yLower + 1.0;
    m_plot->yAxis->setRange(yLower, yUpper);

    const double dKey = m_3d ? kDepthPixels * range.size() / pixels : 0.0;
    const int height = std::max(10, m_layoutUsed.height());
    const double dValue = m_3d ? kDepthPixels * (yUpper - yLower) / height : 0.0;
    const double barWidth = double(step) * 0.8;
    QCPLayer* const front = m_plot->layer(own ? "main" : kCarrierLayer);
    QCPLayer* const behind = m_plot->layer(own ? kDepthLayer : kCarrierLayer);
    for (std::size_t s = 0; s < m_looks.size(); ++s) {
        SeriesLook& look = m_looks[s];
        // Series drawn by the shared plottables keep theirs empty on the
        // hidden layer, for the legend: a thousand of them in view cost time
        // even without points.
        for (QCPAbstractPlottable* plottable : {look.main, look.back}) {
            QCPLayer* layer = plottable == look.main ? front : behind;
            if (plottable == nullptr || plottable->layer() == layer) {
                continue;
            }
            plottable->setLayer(layer);
            // Only the series' own drawing fills them, on the other layers.
            if (!own) {
                if (auto* graph = qobject_cast<QCPGraph*>(plottable)) {
                    graph->data()->clear();
                } else if (auto* bars = qobject_cast<QCPBars*>(plottable)) {
                    bars->data()->clear();
                }
            }
        }
        if (!own) {
            continue;
        }
        const CHART_REDUCED& r = reduced[s];
        if (auto* graph = qobject_cast<QCPGraph*>(look.main)) {
            SetPoints<QCPGraphData>(*graph->data(), r.upper, 0.0, 0.0);
            if (auto* back = qobject_cast<QCPGraph*>(look.back)) {
                SetPoints<QCPGraphData>(*back->data(), r.upper, dKey, dValue);
            }
        } else if (auto* bars = qobject_cast<QCPBars*>(look.main)) {
            const double w = bars->barsGroup() ? barWidth / m_galleryCount : barWidth;
            bars->setWidth(w);
            // Outlines would cover bars narrower than a few pixels.
            const bool outlined = w * pixels / range.size() >= 3.0;
            bars->setPen(outlined ? QPen(bars->brush().color().darker(120)) : QPen(Qt::NoPen));
            SetPoints<QCPBarsData>(*bars->data(), r.upper, 0.0, 0.0);
            if (auto* back = qobject_cast<QCPBars*>(look.back)) {
                back->setWidth(w);
                SetPoints<QCPBarsData>(*back->data(), r.upper, dKey, dValue);
            }
        }
    }
}

void COvChartCtrl::OnUserRange(double lower, double upper) {
    const double first = double(m_buffer->First()) - 0.5;
    const double end = double(m_buffer->End()) - 0.5;
    const double most = std::max(kMinWidth, std::max(double(BufferSize()), end - first));
    m_windowWidth = std::clamp(upper - lower, kMinWidth, most);
    lower = std::max(first, lower);
    // Dragged up to the newest point (or, without real-time scrolling, out
    // to the whole buffer): follow again.
    if (m_mode == OVCHART_RT_OFF) {
        m_following = lower <= first && lower + m_windowWidth >= end;
    } else {
        m_following = lower + m_windowWidth >= end;
    }
    m_userLower = lower;
    UpdateWindow();
    FillPlottables();
}

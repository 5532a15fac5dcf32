#include "OptionDlg.h"

#include <algorithm>
#include <cstdint>

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

#include "QtText.h"
#include "OvPingDoc.h"
#include "PingSettings.h"

namespace {

// One slider row: its caption, unit text (id 0: none), range, the step that
// is both tick interval and page size, and the value "Load Default" sets.
struct ROW_LAYOUT {
    UINT captionId;
    const char16_t* caption;
    UINT unitId;
    const char16_t* unit;
    int minimum;
    int maximum;
    int step;
    int defaultValue;
};

constexpr UINT kUnitBytes = 34307;
constexpr UINT kUnitMilliseconds = 34308;

constexpr ROW_LAYOUT kRows[COptionDlg::RowCount] = {
    {34301, u"Packet Size", kUnitBytes, u"Bytes", 32, 1024, 32, 64},
    {34302, u"Packet Time-To-Live", 0, nullptr, 1, 255, 1, 255},
    {34303, u"Ping Timeout", kUnitMilliseconds, u"milliseconds", 100, 2000, 100, 500},
    {34304, u"Delay Between PINGs", kUnitMilliseconds, u"milliseconds", 100, 10000, 100, 1500},
    {34305, u"Address transmitted", 34309, u"times pre Host", 1, 5, 1, 3},
    {34306, u"Poll Interval ", kUnitMilliseconds, u"milliseconds", 100, 5000, 100, 500},
};

// The order in which the sliders are set up, and the order in which OK reads them.
constexpr COptionDlg::Row kInitOrder[] = {COptionDlg::RowSize,     COptionDlg::RowTtl,   COptionDlg::RowDelay,
                                          COptionDlg::RowPollTime, COptionDlg::RowProbe, COptionDlg::RowTimeOut};
constexpr COptionDlg::Row kStoreOrder[] = {COptionDlg::RowPollTime, COptionDlg::RowSize,  COptionDlg::RowDelay,
                                           COptionDlg::RowTimeOut,  COptionDlg::RowProbe, COptionDlg::RowTtl};

// The document's value shown by a row, widened so that no value wraps.
std::int64_t DocValue(const COvPingDoc& doc, COptionDlg::Row row) {
    const PING_SETTINGS& s = doc.Settings();
    switch (row) {
        case COptionDlg::RowSize:
            return s.Size;
        case COptionDlg::RowTtl:
            return s.IPOption.Ttl;
        case COptionDlg::RowTimeOut:
            return s.TimeOut;
        case COptionDlg::RowDelay:
            return s.TimeDelay;
        case COptionDlg::RowProbe:
            return s.Probe;
        case COptionDlg::RowPollTime:
            return doc.PollTime();
        case COptionDlg::RowCount:
            break;
    }
    return 0;
}

// Stores a slider position in the document field of its row, narrowed to the field.
void SetDocValue(COvPingDoc& doc, COptionDlg::Row row, int value) {
    PING_SETTINGS& s = doc.Settings();
    switch (row) {
        case COptionDlg::RowSize:
            s.Size = static_cast<DWORD>(value);
            break;
        case COptionDlg::RowTtl:
            s.IPOption.Ttl = static_cast<BYTE>(value);
            break;
        case COptionDlg::RowTimeOut:
            s.TimeOut = static_cast<DWORD>(value);
            break;
        case COptionDlg::RowDelay:
            s.TimeDelay = static_cast<DWORD>(value);
            break;
        case COptionDlg::RowProbe:
            s.Probe = static_cast<WORD>(value);
            break;
        case COptionDlg::RowPollTime:
            doc.PollTime() = static_cast<DWORD>(value);
            break;
        case COptionDlg::RowCount:
            break;
    }
}

// Dialog units of the dialog's font: a quarter of the average character
// width across, an eighth of the character height down.
class DialogUnits {
public:
    explicit DialogUnits(const QFontMetrics& fm)
        : m_x(fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0),
          m_y(fm.height()) {}
    int X(int units) const { return qRound(units * m_x / 4.0); }
    int Y(int units) const { return qRound(units * m_y / 8.0); }

private:
    double m_x;
    double m_y;
};

// Distance from the slider's top to the centre of its handle.
int HandleCentre(const QSlider* slider) {
    QStyleOptionSlider opt;
    opt.initFrom(slider);
    opt.orientation = slider->orientation();
    opt.tickPosition = slider->tickPosition();
    opt.rect = QRect(QPoint(0, 0), slider->sizeHint());
    return slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider).center().y();
}

}  // namespace

COptionDlg::COptionDlg(COvPingDoc* doc, CProfile profile, QWidget* parent)
    : QDialog(parent), m_doc(doc), m_profile(std::move(profile)) {
    BuildControls();
    InitFromDocument();
}

void COptionDlg::BuildControls() {
    setWindowTitle(OvText(34300, u"Options"));
    const DialogUnits du(fontMetrics());
    // Made in tab order: the rows, then the buttons.
    QLayout* rows = BuildRows();
    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    QLayout* buttons = BuildButtonRow();

    // Caption of the first row 18 units from the top, the separator 8 below
    // the last row, the buttons 14 below it and 14 above the bottom edge.
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(du.X(7), du.Y(18), du.X(7), du.Y(14));
    outer->setSpacing(0);
    outer->addLayout(rows);
    outer->addStretch(1);
    outer->addSpacing(du.Y(8));
    outer->addWidget(separator);
    outer->addSpacing(du.Y(13));
    outer->addLayout(buttons);

    const QSize hint = sizeHint();
    resize(std::max(hint.width(), du.X(359)), std::max(hint.height(), du.Y(266)));
}

QLayout* COptionDlg::BuildRows() {
    const DialogUnits du(fontMetrics());
    // Each row: the caption, below it the slider indented, its value and unit
    // to the right. Rows are 33 units apart, the slider 13 below its caption.
    auto* grid = new QGridLayout;
    grid->setContentsMargins(du.X(15), 0, 0, 0);
    grid->setVerticalSpacing(0);
    grid->setHorizontalSpacing(du.X(4));
    grid->setColumnMinimumWidth(0, du.X(16) - du.X(4));
    grid->setColumnStretch(1, 1);
    for (int r = 0; r < RowCount; ++r) {
        grid->setRowMinimumHeight(2 * r, du.Y(13));
        grid->setRowMinimumHeight(2 * r + 1, du.Y(20));
        AddRow(*grid, r);
    }
    return grid;
}

void COptionDlg::AddRow(QGridLayout& grid, int r) {
    const ROW_LAYOUT& rowLayout = kRows[r];
    auto* caption = new QLabel(OvText(rowLayout.captionId, rowLayout.caption), this);
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setAccessibleName(caption->text().trimmed());
    caption->setBuddy(slider);
    auto* value = new QLabel(this);
    value->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    value->setAlignment(Qt::AlignRight | Qt::AlignTop);

    grid.addWidget(caption, 2 * r, 0, 1, 4, Qt::AlignLeft | Qt::AlignTop);
    grid.addWidget(slider, 2 * r + 1, 1, Qt::AlignTop);
    grid.addWidget(value, 2 * r + 1, 2, Qt::AlignTop);
    QLabel* unit = nullptr;
    if (rowLayout.unitId != 0) {
        unit = new QLabel(OvText(rowLayout.unitId, rowLayout.unit), this);
        grid.addWidget(unit, 2 * r + 1, 3, Qt::AlignTop);
    }
    // Value and unit texts are centred on the slider's handle, not on
    // the whole control with its ticks.
    const int textTop = std::max(0, HandleCentre(slider) - fontMetrics().height() / 2);
    value->setContentsMargins(0, textTop, 0, 0);
    if (unit != nullptr) {
        unit->setContentsMargins(0, textTop, 0, 0);
        unit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    m_sliders[r] = slider;
    m_values[r] = value;
    connect(slider, &QSlider::valueChanged, this, &COptionDlg::UpdateValueLabels);
}

QLayout* COptionDlg::BuildButtonRow() {
    const DialogUnits du(fontMetrics());
    const auto makeButton = [&](UINT id, const char16_t* text, const char* name) {
        auto* button = new QPushButton(OvText(id, text), this);
        button->setObjectName(QString::fromLatin1(name));
        // Long translations keep a margin around their text.
        button->setMinimumSize(std::max(du.X(50), button->sizeHint().width() + du.X(6)), du.Y(14));
        button->setAutoDefault(false);
        return button;
    };
    QPushButton* loadDefault = makeButton(34310, u"Load Default", "loadDefault");
    QPushButton* ok = makeButton(34311, u"OK", "ok");
    QPushButton* cancel = makeButton(34312, u"Cancel", "cancel");
    QPushButton* help = makeButton(34313, u"Help", "help");
    ok->setDefault(true);
    connect(loadDefault, &QPushButton::clicked, this, &COptionDlg::OnLoadDefault);
    connect(ok, &QPushButton::clicked, this, &COptionDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &COptionDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpCommand); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this] { emit helpRequested(kHelpCommand); });

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(du.X(10));
    buttons->addWidget(loadDefault);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);
    return buttons;
}

void COptionDlg::InitFromDocument() {
    if (m_doc == nullptr) {
        return;
    }
    // Labels are written once at the end, not on every set-up step.
    for (const Row row : kInitOrder) {
        const ROW_LAYOUT& rowLayout = kRows[row];
        QSlider* slider = m_sliders[row];
        const QSignalBlocker block(slider);
        slider->setRange(rowLayout.minimum, rowLayout.maximum);
        slider->setTickInterval(rowLayout.step);
        slider->setPageStep(rowLayout.step);
        // Clamped before narrowing, so that a huge value shows at the top end.
        slider->setValue(
            static_cast<int>(std::clamp<std::int64_t>(DocValue(*m_doc, row), rowLayout.minimum, rowLayout.maximum)));
    }
    UpdateValueLabels();
}

void COptionDlg::OnLoadDefault() {
    if (m_doc == nullptr) {
        return;
    }
    for (int r = 0; r < RowCount; ++r) {
        SetDocValue(*m_doc, static_cast<Row>(r), kRows[r].defaultValue);
        const QSignalBlocker block(m_sliders[r]);
        m_sliders[r]->setValue(kRows[r].defaultValue);
    }
    UpdateValueLabels();
}

void COptionDlg::accept() {
    if (m_doc != nullptr) {
        for (const Row row : kStoreOrder) {
            SetDocValue(*m_doc, row, m_sliders[row]->value());
        }
        // A failed write leaves the profile as it was; the run uses the new values anyway.
        m_saved = SaveSettings(m_profile, *m_doc);
        m_doc->ApplySettings();
    }
    QDialog::accept();
}

void COptionDlg::UpdateValueLabels() {
    for (int r = 0; r < RowCount; ++r) {
        m_values[r]->setText(QString::number(m_sliders[r]->value()));
    }
}

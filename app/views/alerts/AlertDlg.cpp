#include "AlertDlg.h"

#include <algorithm>

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QVBoxLayout>

#include "QtText.h"

namespace {

// A spin box with its caption (whose mnemonic reaches it) and unit in row r.
QSpinBox* AddNumberRow(QGridLayout& grid, int r, QWidget* parent, const QString& caption, const QString& unit,
                       int minimum, int maximum, int value) {
    auto* label = new QLabel(caption, parent);
    auto* box = new QSpinBox(parent);
    box->setRange(minimum, maximum);
    box->setValue(std::clamp(value, minimum, maximum));
    box->setAccessibleName(label->text().remove(QLatin1Char('&')));
    label->setBuddy(box);
    grid.addWidget(label, r, 0);
    grid.addWidget(box, r, 1);
    grid.addWidget(new QLabel(unit, parent), r, 2);
    return box;
}

}  // namespace

CAlertDlg::CAlertDlg(const ALERT_SETTINGS& settings, CProfile profile, QWidget* parent)
    : QDialog(parent), m_profile(std::move(profile)) {
    setWindowTitle(OvText(35140, u"Alerts"));
    const int count = static_cast<int>(kMaxAlertCount);
    auto* grid = new QGridLayout;
    grid->setColumnStretch(3, 1);
    m_downAfter =
        AddNumberRow(*grid, 0, this, OvText(35141, u"&Down after"), OvText(35142, u"failed requests in a row"), 1,
                     count, static_cast<int>(settings.thresholds.downAfter));
    m_upAfter = AddNumberRow(*grid, 1, this, OvText(35143, u"&Up again after"), OvText(35144, u"replies in a row"), 1,
                             count, static_cast<int>(settings.thresholds.upAfter));
    m_slowMs = AddNumberRow(*grid, 2, this, OvText(35145, u"S&low above"),
                            OvText(35146, u"milliseconds for each of those replies"), 0, static_cast<int>(kMaxSlowMs),
                            static_cast<int>(settings.thresholds.slowMs));
    m_slowMs->setSingleStep(50);
    m_slowMs->setSpecialValueText(OvText(35147, u"off"));

    m_notify = new QCheckBox(OvText(35148, u"Show desktop &notifications"), this);
    m_notify->setChecked(settings.notify);
    m_sound = new QCheckBox(OvText(35149, u"Play the desktop's &sound"), this);
    m_sound->setChecked(settings.sound);
    m_keepInTray =
        new QCheckBox(OvText(35150, u"&Keep running in the tray when the window is closed during a run"), this);
    m_keepInTray->setChecked(settings.keepInTray);

    auto* separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);

    auto* ok = new QPushButton(OvText(34311, u"OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(OvText(34312, u"Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    auto* help = new QPushButton(OvText(34313, u"Help"), this);
    help->setObjectName(QStringLiteral("help"));
    for (QPushButton* button : {ok, cancel, help}) {
        button->setAutoDefault(false);
    }
    connect(ok, &QPushButton::clicked, this, &CAlertDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CAlertDlg::reject);
    connect(help, &QPushButton::clicked, this, [this] { emit helpRequested(kHelpCommand); });
    auto* f1 = new QShortcut(QKeySequence::HelpContents, this);
    connect(f1, &QShortcut::activated, this, [this] { emit helpRequested(kHelpCommand); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(help);

    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addSpacing(fontMetrics().height() / 2);
    outer->addWidget(m_notify);
    outer->addWidget(m_sound);
    outer->addWidget(m_keepInTray);
    outer->addStretch(1);
    outer->addWidget(separator);
    outer->addLayout(buttons);
}

ALERT_SETTINGS CAlertDlg::Settings() const {
    ALERT_SETTINGS s;
    s.thresholds.downAfter = static_cast<unsigned>(m_downAfter->value());
    s.thresholds.upAfter = static_cast<unsigned>(m_upAfter->value());
    s.thresholds.slowMs = static_cast<unsigned>(m_slowMs->value());
    s.notify = m_notify->isChecked();
    s.sound = m_sound->isChecked();
    s.keepInTray = m_keepInTray->isChecked();
    return s;
}

void CAlertDlg::accept() {
    m_saved = SaveAlertSettings(m_profile, Settings());
    QDialog::accept();
}

#include "AboutDlg.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSvgRenderer>
#include <QPainter>
#include <QPixmap>

#include "QtText.h"

namespace {

constexpr int kLogoSize = 64;

QPixmap Logo(qreal ratio) {
    QPixmap pixmap(QSize(kLogoSize, kLogoSize) * ratio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer svg(QStringLiteral(":/tapper/pictures/tapper-logo.svg"));
    QPainter painter(&pixmap);
    svg.render(&painter);
    pixmap.setDevicePixelRatio(ratio);
    return pixmap;
}

}  // namespace

QString CAboutDlg::VersionPart(const QString& version) {
    const int first = version.indexOf(u'.');
    const int second = first < 0 ? -1 : version.indexOf(u'.', first + 1);
    return second < 0 ? version : version.left(second);
}

QString CAboutDlg::BuildPart(const QString& version) {
    return version.mid(version.lastIndexOf(u'.') + 1);
}

CAboutDlg::CAboutDlg(const QString& title, const QString& version, QWidget* parent)
    : QDialog(parent), m_version(new QLabel(this)) {
    setWindowTitle(OvText(34410, u"About %s_a%", title.toStdU16String()));
    m_version->setObjectName(QStringLiteral("1008"));
    m_version->setText(OvText(129, u"Version %s_VERSION% (Build %s_BUILDNUMBER%)",
                              VersionPart(version).toStdU16String(), BuildPart(version).toStdU16String()));

    auto* logo = new QLabel(this);
    logo->setPixmap(Logo(devicePixelRatioF()));
    logo->setAlignment(Qt::AlignTop);
    auto* name = new QLabel(title, this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    name->setFont(bold);
    auto* licence = new QLabel(OvText(34411,
                                      u"Copyright \u00A9 2026 Orvantek.\n"
                                      u"This program is free software under the GNU General "
                                      u"Public License, version 3 or (at your option) any "
                                      u"later version (GPL-3.0-or-later). It comes with "
                                      u"ABSOLUTELY NO WARRANTY."),
                               this);
    licence->setWordWrap(true);
    licence->setMinimumWidth(340);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(OvText(34507, u"OK"), QDialogButtonBox::AcceptRole);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setHorizontalSpacing(16);
    layout->addWidget(logo, 0, 0, 3, 1);
    layout->addWidget(name, 0, 1);
    layout->addWidget(m_version, 1, 1);
    layout->addWidget(licence, 2, 1);
    layout->addWidget(buttons, 3, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

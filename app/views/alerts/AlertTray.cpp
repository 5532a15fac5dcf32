#include "AlertTray.h"

#include <QAction>
#include <QMenu>

#include "AlertText.h"
#include "QtText.h"
#include "ovui/OvPictures.h"

CAlertTray::CAlertTray(QObject* parent) : QObject(parent), m_menu(std::make_unique<QMenu>()) {
    m_menu->setObjectName(QStringLiteral("TrayMenu"));
    m_show = m_menu->addAction(OvText(35130, u"&Show"));
    m_startStop = m_menu->addAction(OvText(35131, u"Start &Ping"));
    m_menu->addSeparator();
    m_exit = m_menu->addAction(OvText(35133, u"E&xit"));
    connect(m_show, &QAction::triggered, this, &CAlertTray::showRequested);
    connect(m_startStop, &QAction::triggered, this, &CAlertTray::startStopRequested);
    connect(m_exit, &QAction::triggered, this, &CAlertTray::exitRequested);
    m_icon.setContextMenu(m_menu.get());
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            emit showRequested();
        }
    });
    Update(false, 0, 0, false);
}

CAlertTray::~CAlertTray() {
    m_icon.setContextMenu(nullptr);
}

void CAlertTray::Update(bool running, unsigned hosts, unsigned down, bool allUp) {
    const Look look = down > 0 && running ? Look::AnyDown : running && allUp ? Look::AllUp : Look::Idle;
    if (look != m_look) {
        m_look = look;
        m_icon.setIcon(OvPicture(look == Look::AnyDown ? QStringLiteral("tray-down")
                                 : look == Look::AllUp ? QStringLiteral("tray-up")
                                                       : QStringLiteral("tray-idle")));
    }
    m_icon.setToolTip(TrayToolTip(running, running ? down : 0, hosts));
    m_startStop->setText(running ? OvText(35132, u"Sto&p Ping") : OvText(35131, u"Start &Ping"));
}

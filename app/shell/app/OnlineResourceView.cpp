#include "OnlineResourceView.h"

#include <QCoreApplication>
#include <QFileInfo>

QEvent::Type COnlineResourceView::ShowLocalPageEvent() {
    return static_cast<QEvent::Type>(QEvent::User + WM_SHOW_LOCAL_PAGE);
}

COnlineResourceView::COnlineResourceView(const QString& address, const QString& localPage, QWidget* parent)
    : COvHtmlView(parent), m_address(address), m_localPage(localPage) {}

void COnlineResourceView::OnInitialUpdate() {
    Navigate(m_address);
}

void COnlineResourceView::OnNavigateError(const QUrl& url, const QString& frame, int status, bool* cancel) {
    COvHtmlView::OnNavigateError(url, frame, status, cancel);
    if (status != 200) {
        *cancel = true;
        QCoreApplication::postEvent(this, new QEvent(ShowLocalPageEvent()));
    }
}

bool COnlineResourceView::event(QEvent* event) {
    if (event->type() == ShowLocalPageEvent()) {
        OnShowLocalPage();
        return true;
    }
    return COvHtmlView::event(event);
}

int COnlineResourceView::OnShowLocalPage() {
    // Once only: an installed page that fails too must not bring us back here.
    if (m_bLocalShown == 0) {
        m_bLocalShown = 1;
        if (QFileInfo(m_localPage).isFile()) {
            Navigate(m_localPage);
        }
    }
    return 0;
}

#pragma once
// Content of the "Online Resource" pane: a page of the maker's web site.
// When it cannot be shown the error page is suppressed and the copy
// installed with the program is shown instead, once.
#include <QEvent>

#include "OvHtmlView.h"

// Posted by the view to itself after a failed navigation.
inline constexpr int WM_SHOW_LOCAL_PAGE = 1744;

class COnlineResourceView : public COvHtmlView {
    Q_OBJECT
public:
    // address: the web page; localPage: path of the installed copy.
    COnlineResourceView(const QString& address, const QString& localPage, QWidget* parent = nullptr);

    // Navigates to the web page.
    void OnInitialUpdate();

    // The installed page has been requested.
    bool LocalShown() const noexcept { return m_bLocalShown != 0; }

    // Event type of WM_SHOW_LOCAL_PAGE.
    static QEvent::Type ShowLocalPageEvent();

protected:
    void OnNavigateError(const QUrl& url, const QString& frame, int status, bool* cancel) override;
    bool event(QEvent* event) override;

private:
    // WM_SHOW_LOCAL_PAGE: the installed page, the first time only.
    int OnShowLocalPage();

    QString m_address;
    QString m_localPage;
    int m_bLocalShown = 0;
};

#pragma once
// HTML view: a QTextBrowser that navigates to web pages (fetched with
// COvHttpFetch) and local files. A failed navigation (any status but 200, no
// connection, a redirect loop, no answer within the deadline, an unreadable
// file, a page beyond the bounds of PageLimits.h) is reported before an error
// page is shown, and the receiver may cancel that page. Links open in the
// user's web browser; tool tips are shown as plain text.
#include <functional>
#include <memory>

#include <QTextBrowser>
#include <QUrl>

#include "HttpFetch.h"

class COvHtmlView : public QTextBrowser {
    Q_OBJECT
public:
    explicit COvHtmlView(QWidget* parent = nullptr);
    ~COvHtmlView() override;

    // Goes to an http(s) address, a file: address or a local path. A web page
    // loads asynchronously; a local file at once.
    void Navigate(const QString& address);
    // Address of the page shown or being loaded.
    QUrl CurrentUrl() const { return m_url; }
    bool IsLoading() const noexcept { return m_fetch.IsRunning(); }
    // Deadline of later web navigations, in milliseconds (15 s by default).
    void SetTimeout(int ms) noexcept { m_fetch.SetTimeout(ms); }
    // What opens a clicked link; QDesktopServices::openUrl by default.
    void SetLinkOpener(std::function<void(const QUrl&)> opener);

    // Resources of local pages (pictures, style sheets) are read from disk;
    // web pages get none, neither from the web nor from local files.
    QVariant loadResource(int type, const QUrl& name) override;

    // Largest page read, in bytes.
    static constexpr qint64 kMaxPageBytes = 4 * 1024 * 1024;

signals:
    // A failed navigation; status is the HTTP status or an OV_FETCH_STATUS
    // code. Set *cancel to keep the view as it is (no error page). Connect
    // directly: cancel points into the caller's frame.
    void navigateError(const QUrl& url, int status, bool* cancel);
    // A page is shown.
    void navigateComplete(const QUrl& url);

protected:
    bool viewportEvent(QEvent* event) override;
    // Called for a failed navigation before the error page; frame is always
    // empty (no frames here). The base emits navigateError.
    virtual void OnNavigateError(const QUrl& url, const QString& frame, int status, bool* cancel);

private:
    void OnFetched(int status, const QByteArray& body, const QUrl& finalUrl);
    void ShowLocalFile(const QUrl& url);
    // Shows a checked page in place of the one shown.
    void ShowPage(std::unique_ptr<QTextDocument> page);
    void ReportError(const QUrl& url, int status);
    void OnAnchorClicked(const QUrl& link);

    COvHttpFetch m_fetch;
    QUrl m_url;
    std::function<void(const QUrl&)> m_openLink;
};

#include "OvHtmlView.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QTextDocument>

#include "MsgFormat.h"

namespace {

// A QString's characters as the message formatter takes them.
const char16_t* Wide(const QString& text)
{
    return reinterpret_cast<const char16_t*>(text.utf16());
}

}  // namespace

COvHtmlView::COvHtmlView(QWidget* parent) : QTextBrowser(parent)
{
    // Every link is decided here: fragments scroll, the rest go to the browser.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    m_openLink = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    connect(this, &QTextBrowser::anchorClicked, this, &COvHtmlView::OnAnchorClicked);
    connect(&m_fetch, &COvHttpFetch::finished, this, &COvHtmlView::OnFetched);
}

COvHtmlView::~COvHtmlView() = default;

void COvHtmlView::SetLinkOpener(std::function<void(const QUrl&)> opener)
{
    if (opener)
        m_openLink = std::move(opener);
}

void COvHtmlView::Navigate(const QString& address)
{
    m_fetch.Cancel();
    QUrl url = QUrl::fromUserInput(address);
    if (!address.contains(u"://") && QFileInfo(address).isAbsolute())
        url = QUrl::fromLocalFile(address);
    m_url = url;
    if (url.isLocalFile()) {
        ShowLocalFile(url);
        return;
    }
    if (!m_fetch.Start(url, kMaxPageBytes))
        ReportError(url, FETCH_BAD_ADDRESS);
}

void COvHtmlView::ShowLocalFile(const QUrl& url)
{
    QFile file(url.toLocalFile());
    if (file.size() > kMaxPageBytes || !file.open(QIODevice::ReadOnly)) {
        ReportError(url, FETCH_FILE_ERROR);
        return;
    }
    const QByteArray body = file.read(kMaxPageBytes);
    OnFetched(FETCH_OK, body, url);
}

void COvHtmlView::OnFetched(int status, const QByteArray& body, const QUrl& finalUrl)
{
    if (status != FETCH_OK) {
        ReportError(m_url, status);
        return;
    }
    // The page's own charset declaration decides; UTF-8 otherwise.
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
    const QString html = decoder.isValid() ? QString(decoder(body)) : QString::fromUtf8(body);
    m_url = finalUrl;
    document()->setBaseUrl(finalUrl);
    setHtml(html);
    emit navigateComplete(finalUrl);
}

void COvHtmlView::ReportError(const QUrl& url, int status)
{
    bool cancel = false;
    OnNavigateError(url, QString(), status, &cancel);
    if (cancel)
        return;
    const QString address = url.toDisplayString();
    const QString reason = FetchFailureText(status);
    setPlainText(QString::fromUtf16(LoadFormatString(34520, u"The page %s_a% could not be shown.\n%s_b%",
                                                     Wide(address), Wide(reason))));
}

void COvHtmlView::OnNavigateError(const QUrl& url, const QString&, int status, bool* cancel)
{
    emit navigateError(url, status, cancel);
}

QVariant COvHtmlView::loadResource(int type, const QUrl& name)
{
    // Only a local page may pull in local files; a web page gets nothing.
    const QUrl base = document()->baseUrl();
    const QUrl resolved = base.resolved(name);
    if (!base.isLocalFile() || !resolved.isLocalFile())
        return {};
    QFile file(resolved.toLocalFile());
    if (file.size() > kMaxPageBytes || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.read(kMaxPageBytes);
    if (type == QTextDocument::StyleSheetResource)
        return QString::fromUtf8(bytes);
    return bytes;
}

void COvHtmlView::OnAnchorClicked(const QUrl& link)
{
    const QUrl target = document()->baseUrl().resolved(link);
    if (link.toString().startsWith(u'#') || (target.matches(m_url, QUrl::RemoveFragment) && target.hasFragment())) {
        scrollToAnchor(target.fragment());
        return;
    }
    const QString scheme = target.scheme().toLower();
    // A page never hands the browser anything but web and mail addresses.
    if (scheme == u"http" || scheme == u"https" || scheme == u"mailto")
        m_openLink(target);
}

#include "OvHtmlView.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QPointer>
#include <QStringDecoder>
#include <QTextDocument>
#include <QToolTip>

#include "QtText.h"
#include "PageLimits.h"

namespace {

// A QString's characters as the message formatter takes them.
const char16_t* Wide(const QString& text) {
    return reinterpret_cast<const char16_t*>(text.utf16());
}

// A resource of the page at base: only a local page may pull in local files
// (at most kMaxPageBytes of each); a web page gets nothing.
QVariant PageResource(const QUrl& base, int type, const QUrl& name) {
    const QUrl resolved = base.resolved(name);
    if (!base.isLocalFile() || !resolved.isLocalFile()) {
        return {};
    }
    QFile file(resolved.toLocalFile());
    if (file.size() > COvHtmlView::kMaxPageBytes || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.read(COvHtmlView::kMaxPageBytes);
    if (type == QTextDocument::StyleSheetResource) {
        return QString::fromUtf8(bytes);
    }
    return bytes;
}

// The document of a shown page. Its resources come from PageResource alone:
// the base class would read any local file a page names when no one else
// gives it, even for a web page.
class CPageDocument : public QTextDocument {
protected:
    QVariant loadResource(int type, const QUrl& name) override { return PageResource(baseUrl(), type, name); }
};

}  // namespace

COvHtmlView::COvHtmlView(QWidget* parent) : QTextBrowser(parent) {
    // Every link is decided here: fragments scroll, the rest go to the browser.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    m_openLink = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    connect(this, &QTextBrowser::anchorClicked, this, &COvHtmlView::OnAnchorClicked);
    connect(&m_fetch, &COvHttpFetch::finished, this, &COvHtmlView::OnFetched);
}

COvHtmlView::~COvHtmlView() = default;

void COvHtmlView::SetLinkOpener(std::function<void(const QUrl&)> opener) {
    if (opener) {
        m_openLink = std::move(opener);
    }
}

void COvHtmlView::Navigate(const QString& address) {
    m_fetch.Cancel();
    QUrl url = QUrl::fromUserInput(address);
    if (!address.contains(u"://") && QFileInfo(address).isAbsolute()) {
        url = QUrl::fromLocalFile(address);
    }
    m_url = url;
    if (url.isLocalFile()) {
        ShowLocalFile(url);
        return;
    }
    if (!m_fetch.Start(url, kMaxPageBytes)) {
        ReportError(url, FETCH_BAD_ADDRESS);
    }
}

void COvHtmlView::ShowLocalFile(const QUrl& url) {
    QFile file(url.toLocalFile());
    if (file.size() > kMaxPageBytes || !file.open(QIODevice::ReadOnly)) {
        ReportError(url, FETCH_FILE_ERROR);
        return;
    }
    const QByteArray body = file.read(kMaxPageBytes);
    OnFetched(FETCH_OK, body, url);
}

void COvHtmlView::OnFetched(int status, const QByteArray& body, const QUrl& finalUrl) {
    if (status != FETCH_OK) {
        ReportError(m_url, status);
        return;
    }
    // The page's own charset declaration decides; UTF-8 otherwise.
    QStringDecoder decoder = QStringDecoder::decoderForHtml(body);
    const QString html = decoder.isValid() ? QString(decoder(body)) : QString::fromUtf8(body);
    // The page is parsed into a document of its own and checked before the
    // view lays it out: what is checked is what is shown.
    std::unique_ptr<QTextDocument> page = std::make_unique<CPageDocument>();
    bool fits = CheckPageMarkup(html) == PAGE_FITS;
    if (fits) {
        page->setUndoRedoEnabled(false);
        page->setDefaultFont(font());
        page->setBaseUrl(finalUrl);
        page->setHtml(html);
        fits = CheckPageDocument(*page) == PAGE_FITS;
    }
    if (!fits) {
        ReportError(m_url, FETCH_TOO_COMPLEX);
        return;
    }
    m_url = finalUrl;
    ShowPage(std::move(page));
    emit navigateComplete(finalUrl);
}

void COvHtmlView::ShowPage(std::unique_ptr<QTextDocument> page) {
    // The view owns the page; the page it replaces goes (the first document,
    // the view's own, goes with setDocument).
    const QPointer<QTextDocument> previous = document();
    page->setParent(this);
    setDocument(page.release());
    if (!previous.isNull() && previous->parent() == this) {
        previous->deleteLater();
    }
}

void COvHtmlView::ReportError(const QUrl& url, int status) {
    bool cancel = false;
    OnNavigateError(url, QString(), status, &cancel);
    if (cancel) {
        return;
    }
    const QString address = url.toDisplayString();
    const QString reason = FetchFailureText(status);
    setPlainText(OvText(34520, u"The page %s_a% could not be shown.\n%s_b%", Wide(address), Wide(reason)));
}

void COvHtmlView::OnNavigateError(const QUrl& url, const QString&, int status, bool* cancel) {
    emit navigateError(url, status, cancel);
}

QVariant COvHtmlView::loadResource(int type, const QUrl& name) {
    return PageResource(document()->baseUrl(), type, name);
}

bool COvHtmlView::viewportEvent(QEvent* event) {
    // A page's tool tips (its title attributes) are its own text, shown as
    // such: never markup that links or loads pictures.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = cursorForPosition(help->pos()).charFormat().toolTip();
        if (tip.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(help->globalPos(), Qt::convertFromPlainText(tip, Qt::WhiteSpaceNormal), viewport());
        }
        return true;
    }
    return QTextBrowser::viewportEvent(event);
}

void COvHtmlView::OnAnchorClicked(const QUrl& link) {
    const QUrl target = document()->baseUrl().resolved(link);
    if (link.toString().startsWith(u'#') || (target.matches(m_url, QUrl::RemoveFragment) && target.hasFragment())) {
        scrollToAnchor(target.fragment());
        return;
    }
    const QString scheme = target.scheme().toLower();
    // A page never hands the browser anything but web and mail addresses.
    if (scheme == u"http" || scheme == u"https" || scheme == u"mailto") {
        m_openLink(target);
    }
}

#include "HttpFetch.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include "LookupWatch.h"
#include "MsgFormat.h"

namespace {

constexpr int kMaxRedirects = 10;

QString Text(const char16_t* text)
{
    return QString::fromUtf16(text);
}

}  // namespace

COvHttpFetch::COvHttpFetch(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { Fail(FETCH_TIMEOUT); });
}

COvHttpFetch::~COvHttpFetch()
{
    Cancel();
}

bool COvHttpFetch::Start(const QUrl& url, qint64 maxBytes)
{
    Cancel();
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != u"http" && scheme != u"https"))
        return false;

    QNetworkRequest request(url);
    // Redirects to https or within the same scheme only; the limit ends loops.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(m_timeoutMs);
    m_body.clear();
    m_maxBytes = maxBytes;
    m_failure = 0;
    m_reply = m_manager->get(request);
    WatchNameLookup(m_reply);
    connect(m_reply, &QNetworkReply::readyRead, this, &COvHttpFetch::OnReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &COvHttpFetch::OnFinished);
    // The transfer timeout restarts with every byte; this one bounds the whole exchange.
    m_deadline.start(m_timeoutMs);
    return true;
}

void COvHttpFetch::Cancel()
{
    m_deadline.stop();
    if (QNetworkReply* reply = m_reply.data()) {
        m_reply.clear();
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

void COvHttpFetch::OnReadyRead()
{
    if (m_reply.isNull() || m_failure != 0)
        return;
    const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
    if (length.isValid() && length.toLongLong() > m_maxBytes) {
        Fail(FETCH_TOO_LARGE);
        return;
    }
    m_body += m_reply->read(m_maxBytes + 1 - m_body.size());
    if (m_body.size() > m_maxBytes)
        Fail(FETCH_TOO_LARGE);
}

void COvHttpFetch::Fail(int status)
{
    if (m_reply.isNull())
        return;
    m_failure = status;
    // abort() emits finished, which reports the failure.
    m_reply->abort();
}

void COvHttpFetch::OnFinished()
{
    QNetworkReply* reply = m_reply.data();
    if (reply == nullptr)
        return;
    m_deadline.stop();
    m_reply.clear();
    reply->disconnect(this);
    reply->deleteLater();

    int status = m_failure;
    if (status == 0) {
        if (reply->bytesAvailable() > 0)
            m_body += reply->read(m_maxBytes + 1 - m_body.size());
        const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const QNetworkReply::NetworkError error = reply->error();
        if (m_body.size() > m_maxBytes)
            status = FETCH_TOO_LARGE;
        else if (error == QNetworkReply::TooManyRedirectsError || error == QNetworkReply::InsecureRedirectError)
            status = FETCH_REDIRECT_LOOP;
        else if (error == QNetworkReply::OperationCanceledError || error == QNetworkReply::TimeoutError)
            status = FETCH_TIMEOUT;  // the transfer timeout cancels the reply
        else if (code.isValid() && code.toInt() > 0)
            status = code.toInt();  // also a complete answer that is not 200
        else
            status = FETCH_NO_CONNECTION;
        // A 200 whose transfer broke off is not a whole page.
        if (status == FETCH_OK && error != QNetworkReply::NoError)
            status = FETCH_NO_CONNECTION;
    }
    QByteArray body;
    if (status == FETCH_OK)
        body.swap(m_body);
    m_body.clear();
    emit finished(status, body, reply->url());
}

QString FetchFailureText(int status)
{
    switch (status) {
    case FETCH_NO_CONNECTION:
        return Text(LoadFormatString(34510, u"No connection to the server."));
    case FETCH_TIMEOUT:
        return Text(LoadFormatString(34511, u"No answer within 15 seconds."));
    case FETCH_REDIRECT_LOOP:
        return Text(LoadFormatString(34512, u"The address redirects in a loop."));
    case FETCH_TOO_LARGE:
        return Text(LoadFormatString(34513, u"The answer is too large."));
    case FETCH_BAD_ADDRESS:
        return Text(LoadFormatString(34514, u"The address is not valid."));
    case FETCH_FILE_ERROR:
        return Text(LoadFormatString(34515, u"The file could not be read."));
    default:
        return Text(LoadFormatString(34516, u"The server answered with status %d_a%.", status));
    }
}

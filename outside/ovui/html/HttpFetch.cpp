#include "HttpFetch.h"

#include <QSslSocket>

#include "LookupWatch.h"
#include "QtText.h"

namespace {

constexpr int kMaxRedirects = 10;
// What the socket holds before the reader takes it, and what the kernel may
// buffer for this connection: an answer that never ends stays this small.
constexpr qint64 kSocketBufferBytes = 16 * 1024;
constexpr int kReceiveWindowBytes = 256 * 1024;

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == u"http" || scheme == u"https");
}

bool IsRedirect(int status) noexcept {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

}  // namespace

COvHttpFetch::COvHttpFetch(QObject* parent) : QObject(parent) {
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] { Finish(FETCH_TIMEOUT); });
}

COvHttpFetch::~COvHttpFetch() {
    Cancel();
}

bool COvHttpFetch::Start(const QUrl& url, qint64 maxBytes) {
    Cancel();
    if (!IsWebAddress(url)) {
        return false;
    }
    m_maxBytes = maxBytes;
    m_redirects = 0;
    Connect(url);
    // One deadline for the whole exchange, redirects included.
    m_deadline.start(m_timeoutMs);
    return true;
}

void COvHttpFetch::Cancel() {
    m_deadline.stop();
    DropSocket();
}

void COvHttpFetch::DropSocket() {
    if (QSslSocket* socket = m_socket.data()) {
        m_socket.clear();
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

void COvHttpFetch::Connect(const QUrl& url) {
    DropSocket();
    m_url = url;
    m_reader = CHttpReplyReader(m_maxBytes);
    m_tlsFailed = false;
    auto* socket = new QSslSocket(this);
    m_socket = socket;
    socket->setReadBufferSize(kSocketBufferBytes);
    const bool secure = url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
    connect(socket, secure ? &QSslSocket::encrypted : &QSslSocket::connected, this, &COvHttpFetch::SendRequest);
    connect(socket, &QSslSocket::readyRead, this, &COvHttpFetch::OnReadyRead);
    connect(socket, &QSslSocket::disconnected, this, &COvHttpFetch::OnDisconnected);
    connect(socket, &QSslSocket::errorOccurred, this, &COvHttpFetch::OnSocketError);
    connect(socket, &QSslSocket::sslErrors, this, [this] { m_tlsFailed = true; });
    connect(socket, &QSslSocket::connected, socket,
            [socket] { socket->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveWindowBytes); });
    const QString host = url.host(QUrl::FullyEncoded);
    WatchNameLookup(socket);
    if (secure) {
        socket->connectToHostEncrypted(host, static_cast<quint16>(url.port(443)));
    } else {
        socket->connectToHost(host, static_cast<quint16>(url.port(80)));
    }
}

void COvHttpFetch::SendRequest() {
    if (m_socket.isNull()) {
        return;
    }
    QByteArray target = m_url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty()) {
        target = "/";
    }
    if (m_url.hasQuery()) {
        target += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
    }
    QByteArray host = m_url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) {
        host = '[' + host + ']';
    }
    if (m_url.port() != -1) {
        host += ':' + QByteArray::number(m_url.port());
    }
    m_socket->write("GET " + target + " HTTP/1.1\r\nHost: " + host +
                    "\r\nAccept: */*\r\nAccept-Encoding: identity\r\nConnection: close\r\n\r\n");
}

void COvHttpFetch::OnReadyRead() {
    // Taken in pieces of the socket's buffer, so the connection is read no
    // faster than the reader keeps up, and not at all once it has decided.
    while (!m_socket.isNull() && m_socket->bytesAvailable() > 0) {
        m_reader.Feed(m_socket->read(kSocketBufferBytes));
        if (Decide()) {
            return;
        }
    }
}

void COvHttpFetch::OnDisconnected() {
    if (m_socket.isNull()) {
        return;
    }
    OnReadyRead();
    if (m_socket.isNull()) {
        return;
    }
    m_reader.FeedEnd();
    if (!Decide()) {
        Finish(FETCH_NO_CONNECTION);
    }
}

void COvHttpFetch::OnSocketError() {
    if (m_socket.isNull()) {
        return;
    }
    const QAbstractSocket::SocketError error = m_socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError) {
        OnDisconnected();
        return;
    }
    const bool tls = m_tlsFailed || error == QAbstractSocket::SslHandshakeFailedError ||
                     error == QAbstractSocket::SslInternalError || error == QAbstractSocket::SslInvalidUserDataError;
    Finish(tls ? FETCH_TLS_ERROR : FETCH_NO_CONNECTION);
}

bool COvHttpFetch::Decide() {
    if (m_reader.HeadRead() && m_reader.Status() != FETCH_OK) {
        const QByteArray location = m_reader.Header("Location");
        if (IsRedirect(m_reader.Status()) && !location.isEmpty()) {
            Redirect(location);
        } else {
            Finish(m_reader.Status());  // the status is the answer; its body is not read
        }
        return true;
    }
    switch (m_reader.CurrentState()) {
        case CHttpReplyReader::COMPLETE:
            Finish(FETCH_OK);
            return true;
        case CHttpReplyReader::FAILED:
            switch (m_reader.FailureReason()) {
                case CHttpReplyReader::BODY_TOO_LARGE:
                    Finish(FETCH_TOO_LARGE);
                    break;
                case CHttpReplyReader::TRUNCATED:
                    Finish(FETCH_NO_CONNECTION);  // a page that broke off is not a whole page
                    break;
                default:
                    Finish(FETCH_BAD_ANSWER);
                    break;
            }
            return true;
        default:
            return false;
    }
}

void COvHttpFetch::Redirect(const QByteArray& location) {
    const QUrl target = m_url.resolved(QUrl::fromEncoded(location));
    // Never from https down to http, and never to anything but the web.
    const bool lessSafe = m_url.scheme().compare(u"https", Qt::CaseInsensitive) == 0 &&
                          target.scheme().compare(u"https", Qt::CaseInsensitive) != 0;
    if (++m_redirects > kMaxRedirects || lessSafe || !IsWebAddress(target)) {
        Finish(FETCH_REDIRECT_LOOP);
        return;
    }
    Connect(target);
}

void COvHttpFetch::Finish(int status) {
    if (m_socket.isNull()) {
        return;
    }
    m_deadline.stop();
    DropSocket();
    QByteArray body;
    if (status == FETCH_OK) {
        body = m_reader.Body();
    }
    m_reader = CHttpReplyReader(0);
    emit finished(status, body, m_url);
}

QString FetchFailureText(int status) {
    switch (status) {
        case FETCH_NO_CONNECTION:
            return OvText(34510, u"No connection to the server.");
        case FETCH_TIMEOUT:
            return OvText(34511, u"No answer within 15 seconds.");
        case FETCH_REDIRECT_LOOP:
            return OvText(34512, u"The address redirects in a loop.");
        case FETCH_TOO_LARGE:
            return OvText(34513, u"The answer is too large.");
        case FETCH_BAD_ADDRESS:
            return OvText(34514, u"The address is not valid.");
        case FETCH_FILE_ERROR:
            return OvText(34515, u"The file could not be read.");
        case FETCH_TLS_ERROR:
            return OvText(34700,
                          u"The secure connection to the server failed: its certificate is not trusted, or the "
                          u"connection could not be secured.");
        case FETCH_BAD_ANSWER:
            return OvText(34701, u"The server's answer is not valid.");
        case FETCH_TOO_COMPLEX:
            return OvText(34702, u"The page is too large or too deeply nested to be shown.");
        default:
            return OvText(34516, u"The server answered with status %d_a%.", status);
    }
}

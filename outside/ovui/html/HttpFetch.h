#pragma once
// One HTTP GET with the limits every web access of the program keeps: a
// deadline for the whole exchange (15 s unless set otherwise), a largest body,
// at most ten redirects (a loop ends there), and a plain result code.
//
// The answer is read from the connection only as fast as it is used, through
// a small socket buffer, and never beyond the largest body: an answer without
// end holds at most that much memory.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

#include "HttpReplyReader.h"

class QSslSocket;

// Result of a fetch: 200 with the body; another HTTP status as it came; or
// one of these negative codes.
enum OV_FETCH_STATUS : int {
    FETCH_OK = 200,
    FETCH_NO_CONNECTION = -1,  // no server reached, or the connection broke
    FETCH_TIMEOUT = -2,        // no complete answer before the deadline
    FETCH_REDIRECT_LOOP = -3,  // too many redirects, or a redirect to a less safe or unusable address
    FETCH_TOO_LARGE = -4,      // the body exceeds the largest size allowed
    FETCH_BAD_ADDRESS = -5,    // not an http or https address
    FETCH_FILE_ERROR = -6,     // a local file that cannot be read (HTML view)
    FETCH_TLS_ERROR = -7,      // the secure connection failed: certificate not trusted, or handshake
    FETCH_BAD_ANSWER = -8,     // the server's answer is not HTTP, or in a coding not asked for
    FETCH_TOO_COMPLEX = -9,    // a page beyond what the HTML view lays out (HTML view)
};

// Default deadline of one fetch, in milliseconds.
inline constexpr int kFetchTimeoutMs = 15000;

class COvHttpFetch : public QObject {
    Q_OBJECT
public:
    explicit COvHttpFetch(QObject* parent = nullptr);
    ~COvHttpFetch() override;

    // Starts a GET of url; a fetch still running is dropped without a signal.
    // False, and finished() is not emitted, for an address that is not http(s).
    bool Start(const QUrl& url, qint64 maxBytes);
    // Drops the running fetch without a signal.
    void Cancel();
    bool IsRunning() const noexcept { return !m_socket.isNull(); }
    // Deadline of later fetches, in milliseconds.
    void SetTimeout(int ms) noexcept { m_timeoutMs = ms; }

signals:
    // status is FETCH_OK (200) with the whole body, or a failure; finalUrl is
    // the address after redirects.
    void finished(int status, const QByteArray& body, const QUrl& finalUrl);

private:
    // Opens the connection for one request of the exchange.
    void Connect(const QUrl& url);
    void SendRequest();
    void OnReadyRead();
    void OnDisconnected();
    void OnSocketError();
    // Acts on what the reader has so far; true when the exchange ended or moved on.
    bool Decide();
    void Redirect(const QByteArray& location);
    // Ends the exchange and reports status.
    void Finish(int status);
    void DropSocket();

    QPointer<QSslSocket> m_socket;
    QTimer m_deadline;
    QUrl m_url;
    CHttpReplyReader m_reader{0};
    qint64 m_maxBytes = 0;
    int m_redirects = 0;
    bool m_tlsFailed = false;
    int m_timeoutMs = kFetchTimeoutMs;
};

// The user's text for a failed fetch status (from the message catalogue).
QString FetchFailureText(int status);

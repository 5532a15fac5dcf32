#pragma once
// One HTTP GET with the limits every web access of the program keeps: a
// deadline for the whole exchange (15 s unless set otherwise), a largest body,
// at most ten redirects (a loop ends there), and a plain result code.
#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// Result of a fetch: 200 with the body; another HTTP status as it came; or
// one of these negative codes.
enum OV_FETCH_STATUS : int {
    FETCH_OK = 200,
    FETCH_NO_CONNECTION = -1,  // no server reached, or the connection broke
    FETCH_TIMEOUT = -2,        // no complete answer before the deadline
    FETCH_REDIRECT_LOOP = -3,  // too many redirects, or a redirect to a less safe scheme
    FETCH_TOO_LARGE = -4,      // the body exceeds the largest size allowed
    FETCH_BAD_ADDRESS = -5,    // not an http or https address
    FETCH_FILE_ERROR = -6,     // a local file that cannot be read (HTML view)
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
    bool IsRunning() const noexcept { return !m_reply.isNull(); }
    // Deadline of later fetches, in milliseconds.
    void SetTimeout(int ms) noexcept { m_timeoutMs = ms; }

signals:
    // status is FETCH_OK (200) with the whole body, or a failure; finalUrl is
    // the address after redirects.
    void finished(int status, const QByteArray& body, const QUrl& finalUrl);

private:
    void OnReadyRead();
    void OnFinished();
    void Fail(int status);

    QNetworkAccessManager* m_manager;
    QPointer<QNetworkReply> m_reply;
    QTimer m_deadline;
    QByteArray m_body;
    qint64 m_maxBytes = 0;
    int m_failure = 0;  // set when the fetch was aborted on purpose
    int m_timeoutMs = kFetchTimeoutMs;
};

// The user's text for a failed fetch status (from the message catalogue).
QString FetchFailureText(int status);

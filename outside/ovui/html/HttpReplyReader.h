#pragma once
// Reads one HTTP/1.x answer as its bytes arrive: the status line and headers,
// then the body by its length, in chunks, or up to the end of the connection.
// Every part has a bound: the head (status line and headers) 32 KiB, a chunk
// size line 1 KiB, the body the size given; a body that would exceed it is
// refused as soon as that is known (announced length, chunk size or data),
// never held. Interim answers (1xx) are skipped. Only the identity coding is
// accepted, as the request asks for no other.
#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>

class CHttpReplyReader {
public:
    enum State {
        READING_HEAD,
        READING_BODY,
        COMPLETE,  // a whole answer: status, headers and body
        FAILED,    // see Failure()
    };
    enum Failure {
        NO_FAILURE,
        MALFORMED,       // not an HTTP answer, or a head or chunk line over its bound
        BODY_TOO_LARGE,  // the body exceeds the largest size
        UNSUPPORTED,     // a transfer or content coding other than chunked/identity
        TRUNCATED,       // the connection ended before the body was whole
    };

    // maxBody: largest body kept, in bytes.
    explicit CHttpReplyReader(qint64 maxBody) noexcept : m_maxBody(maxBody) {}

    // Takes the next bytes of the connection (all of them; bytes after a
    // complete answer are ignored).
    void Feed(QByteArrayView data);
    // The connection has ended.
    void FeedEnd();

    State CurrentState() const noexcept { return m_state; }
    Failure FailureReason() const noexcept { return m_failure; }
    // True once the final status line and headers are read, also when the
    // body then failed.
    bool HeadRead() const noexcept { return m_status != 0; }
    int Status() const noexcept { return m_status; }
    // Value of the last header of that name (case-insensitive); empty when absent.
    QByteArray Header(QByteArrayView name) const;
    const QByteArray& Body() const noexcept { return m_body; }

private:
    enum BodyFraming { BY_LENGTH, CHUNKED, UNTIL_CLOSE };
    enum ChunkStep { CHUNK_SIZE, CHUNK_DATA, CHUNK_DATA_END, CHUNK_TRAILER };

    qsizetype FeedHead(QByteArrayView data);
    qsizetype FeedBody(QByteArrayView data);
    qsizetype FeedChunked(QByteArrayView data);
    // Reads the status line and headers in m_head; false when they are not valid.
    bool ParseHead();
    // Decides how the body is framed after the head; fails when it cannot be read.
    void StartBody();
    // Appends body data; false (failed) when the body would grow too large.
    bool TakeBody(QByteArrayView data);
    // Collects one line into m_line; true when it is whole (without its line end).
    bool TakeLine(QByteArrayView data, qsizetype& used, qsizetype limit);
    void Fail(Failure failure) noexcept;

    qint64 m_maxBody;
    State m_state = READING_HEAD;
    Failure m_failure = NO_FAILURE;
    QByteArray m_head;
    QByteArray m_line;
    int m_status = 0;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    BodyFraming m_framing = UNTIL_CLOSE;
    ChunkStep m_chunkStep = CHUNK_SIZE;
    qint64 m_remaining = 0;  // of the announced length or of the current chunk
    QByteArray m_body;
};

#pragma once
// A hostile HTTP server for tests and benchmarks: it floods every client with
// an answer that never ends.
#include <atomic>
#include <thread>

#include <QByteArray>
#include <QString>

// A server on a thread of its own that answers each request with head and
// then unit over and over, as fast as the connection takes them, until the
// client goes or the server is destroyed.
class FloodServer {
public:
    // The socket's send buffer: what the server sent, less up to twice this,
    // reached the client.
    static constexpr int kSendBufferBytes = 1024 * 1024;

    // Listens on a free port of 127.0.0.1 (Url() is empty when it cannot).
    FloodServer(QByteArray head, QByteArray unit);
    ~FloodServer();
    FloodServer(const FloodServer&) = delete;
    FloodServer& operator=(const FloodServer&) = delete;

    QString Url(const QString& path) const;
    // Bytes the connections took so far, head included.
    qint64 BytesSent() const noexcept { return m_sent.load(); }

private:
    void Serve();
    void Flood(int client);

    QByteArray m_head;
    QByteArray m_unit;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_sent{0};
    std::thread m_thread;
};

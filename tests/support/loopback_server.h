#pragma once
// A small HTTP server on 127.0.0.1 for the GUI tests: fixed answers by path,
// a path that never answers, and a record of the requests it saw.
#include <functional>
#include <map>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTcpServer>

class QApplication;

// The one application object of the GUI tests (offscreen unless told otherwise).
QApplication& TestApp();

// First base of a fixture whose members are widgets: the application exists before them.
struct WithTestApp {
    WithTestApp() { TestApp(); }
};

class LoopbackServer {
public:
    LoopbackServer();
    // Address of path on this server.
    QString Url(const QString& path) const;
    // Answer for path (without query): the raw bytes sent back before closing.
    void Route(const QString& path, const QByteArray& raw) { m_routes[path] = raw; }
    // A path whose requests are read but never answered.
    void Stall(const QString& path) { m_routes[path] = QByteArray(); }
    // Request targets seen (path and query), oldest first.
    const QStringList& Requests() const { return m_requests; }

    // A complete answer with a status, a body and its length.
    static QByteArray Response(int status, const QByteArray& body, const QByteArray& headers = {});

private:
    void Serve(QTcpSocket* socket);

    QTcpServer m_server;
    std::map<QString, QByteArray> m_routes;
    QStringList m_requests;
};

// Runs the event loop until done() holds or ms pass; whether it held.
bool WaitFor(const std::function<bool()>& done, int ms);

// A port on 127.0.0.1 where nothing listens.
quint16 ClosedPort();

#include "support/loopback_server.h"

#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>
#include <QTcpSocket>

namespace {

// Owns the application object for the whole run and ends it before the
// process exits, while Qt's own globals are still alive.
class AppEnvironment : public ::testing::Environment {
public:
    void TearDown() override {
        if (m_app) {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            m_app.reset();
        }
    }
    QApplication& App() {
        if (!m_app) {
            if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
                ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
            }
            m_app = std::make_unique<QApplication>(m_argc, m_argv);
        }
        return *m_app;
    }

private:
    int m_argc = 1;
    char m_name[16] = "online_gui_test";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

// gtest owns the environment and tears it down after the last test.
AppEnvironment* const g_environment =
    static_cast<AppEnvironment*>(::testing::AddGlobalTestEnvironment(new AppEnvironment));

}  // namespace

QApplication& TestApp() {
    return g_environment->App();
}

LoopbackServer::LoopbackServer() {
    m_server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            Serve(socket);
        }
    });
}

QString LoopbackServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
}

QByteArray LoopbackServer::Response(int status, const QByteArray& body, const QByteArray& headers) {
    return "HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n" + headers + "\r\n" + body;
}

void LoopbackServer::Serve(QTcpSocket* socket) {
    // The socket stays a child of the server, so a stalled one lives until the test ends.
    auto received = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
        *received += socket->readAll();
        const qsizetype end = received->indexOf("\r\n\r\n");
        if (end < 0) {
            return;
        }
        const QList<QByteArray> line = received->left(received->indexOf("\r\n")).split(' ');
        received->clear();
        const QString target = line.size() > 1 ? QString::fromLatin1(line[1]) : QString();
        m_requests << target;
        const auto route = m_routes.find(target.section(u'?', 0, 0));
        if (route == m_routes.end()) {
            socket->write(Response(404, "not here"));
        } else if (route->second.isEmpty()) {
            return;  // stalled: never answer
        } else {
            socket->write(route->second);
        }
        socket->disconnectFromHost();
    });
}

quint16 ClosedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

bool WaitFor(const std::function<bool()>& done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QTest::qWait(10);
    }
    return true;
}

// The fetch against hostile and broken servers on loopback: answers without
// end, a self-signed certificate reached directly or by redirect, redirects
// to nowhere, answers that are not HTTP.
#include <QFile>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>

#include <gtest/gtest.h>

#include "HttpFetch.h"
#include "OvHtmlView.h"
#include "support/loopback_server.h"
#include "support/flood_server.h"
#include "ovupdate/UpdateAnswer.h"

namespace {

QByteArray TestFile(const char* name) {
    QFile file(QString::fromLocal8Bit(qgetenv("OV_TEST_DATA")) + "/online/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// HTTPS on loopback with a certificate that signs itself.
class SelfSignedServer {
public:
    SelfSignedServer() {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificate(QSslCertificate(TestFile("selfsigned.crt")));
        config.setPrivateKey(QSslKey(TestFile("selfsigned.key"), QSsl::Ec));
        m_server.setSslConfiguration(config);
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    QString Url(const QString& path) const {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }

private:
    QSslServer m_server;
};

class Fetch : public WithTestApp, public ::testing::Test {
protected:
    // Fetches url keeping at most limit bytes; the status reported, 0 when none came.
    int Get(const QString& url, qint64 limit, QByteArray* body = nullptr) {
        COvHttpFetch fetch;
        fetch.SetTimeout(5000);
        QSignalSpy done(&fetch, &COvHttpFetch::finished);
        EXPECT_TRUE(fetch.Start(QUrl(url), limit));
        if (!WaitFor([&] { return !done.isEmpty(); }, 10000)) {
            return 0;
        }
        if (body != nullptr) {
            *body = done[0][1].toByteArray();
        }
        return done[0][0].toInt();
    }

    LoopbackServer m_server;
};

TEST_F(Fetch, AnswersWithoutEndAreCutAtTheLimitWithoutPilingUp) {
    const QByteArray chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    const QByteArray chunk = "1000\r\n" + QByteArray(0x1000, 'x') + "\r\n";
    const qint64 answer = kMaxUpdateAnswerBytes;
    const qint64 page = COvHtmlView::kMaxPageBytes;
    struct Case {
        const char* what;
        QByteArray head;
        QByteArray unit;
        qint64 limit;
    } const cases[] = {
        {"update answer in chunks", chunked, chunk, answer},
        {"update answer up to the close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", QByteArray(0x10000, 'x'),
         answer},
        {"update answer in one chunk", chunked + "FFFFFFFFFFFF\r\n", QByteArray(0x10000, 'x'), answer},
        {"page in chunks", chunked, chunk, page},
    };
    for (const Case& c : cases) {
        FloodServer flood(c.head, c.unit);
        EXPECT_EQ(Get(flood.Url("/"), c.limit), FETCH_TOO_LARGE) << c.what;
        // The client took its limit, its socket buffer and the window it
        // allows the connection (512 KiB), and nothing more; the rest of what
        // the server sent is in the server's own buffer.
        EXPECT_LT(flood.BytesSent(), c.limit + 2 * FloodServer::kSendBufferBytes + 1024 * 1024) << c.what;
    }
}

TEST_F(Fetch, AnAnswerInPiecesIsReadWhole) {
    m_server.Route("/chunked",
                   "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                   "6\r\nhello \r\n5\r\nworld\r\n0\r\n\r\n");
    m_server.Route("/moved", LoopbackServer::Response(301, "gone", "Location: /chunked\r\n"));
    QByteArray body;
    EXPECT_EQ(Get(m_server.Url("/moved"), 100, &body), FETCH_OK);
    EXPECT_EQ(body, "hello world");
    EXPECT_EQ(m_server.Requests().back(), "/chunked");
}

TEST_F(Fetch, ASelfSignedCertificateIsReportedAsSuchAlsoAfterARedirect) {
    const SelfSignedServer secure;
    m_server.Route("/secure", LoopbackServer::Response(302, {}, "Location: " + secure.Url("/page").toUtf8() + "\r\n"));
    const QByteArray closed = QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort()).toUtf8();
    m_server.Route("/nowhere", LoopbackServer::Response(302, {}, "Location: " + closed + "\r\n"));
    EXPECT_EQ(Get(secure.Url("/page"), 1000), FETCH_TLS_ERROR);
    // Not the status of the redirect that led there.
    EXPECT_EQ(Get(m_server.Url("/secure"), 1000), FETCH_TLS_ERROR);
    EXPECT_EQ(Get(m_server.Url("/nowhere"), 1000), FETCH_NO_CONNECTION);
    EXPECT_TRUE(FetchFailureText(FETCH_TLS_ERROR).contains("certificate"));
}

TEST_F(Fetch, AnswersThatAreNotHttpOrInAnotherCodingAreRefused) {
    m_server.Route("/html", "<html><body>no status line</body></html>\r\n\r\n");
    m_server.Route("/gzip", LoopbackServer::Response(200, "\x1f\x8b\x08", "Content-Encoding: gzip\r\n"));
    m_server.Route("/ftp", LoopbackServer::Response(302, {}, "Location: ftp://127.0.0.1/file\r\n"));
    EXPECT_EQ(Get(m_server.Url("/html"), 1000), FETCH_BAD_ANSWER);
    EXPECT_EQ(Get(m_server.Url("/gzip"), 1000), FETCH_BAD_ANSWER);
    EXPECT_EQ(Get(m_server.Url("/ftp"), 1000), FETCH_REDIRECT_LOOP);
}

}  // namespace

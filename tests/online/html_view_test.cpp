// The HTML view against a loopback server: a page, a missing page, a stalled
// server, a redirect loop, no server at all, local files and links, pages
// whose layout would stall or crash, and what a page may reach.
#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include "OvHtmlView.h"
#include "support/loopback_server.h"

namespace {

class HtmlView : public WithTestApp, public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_server.Route("/ok", LoopbackServer::Response(200, "<html><body><h1>Online page</h1></body></html>",
                                                       "Content-Type: text/html; charset=utf-8\r\n"));
        m_server.Route("/missing", LoopbackServer::Response(404, "<html><body>Not found</body></html>"));
        m_server.Route("/loop", LoopbackServer::Response(302, {}, "Location: /loop\r\n"));
        m_server.Stall("/stall");
        m_view.SetTimeout(400);
        QObject::connect(&m_view, &COvHtmlView::navigateError, [this](const QUrl& url, int status, bool* cancel) {
            m_errors.push_back(status);
            m_errorUrl = url;
            *cancel = m_cancel;
        });
    }

    // Navigates and waits until the view reports a result; the status of the
    // error, or 200 for a shown page.
    int Load(const QString& address) {
        QSignalSpy complete(&m_view, &COvHtmlView::navigateComplete);
        const std::size_t before = m_errors.size();
        m_view.Navigate(address);
        for (int i = 0; i < 100 && complete.isEmpty() && m_errors.size() == before; ++i) {
            complete.wait(50);
        }
        if (m_errors.size() > before) {
            return m_errors.back();
        }
        return complete.isEmpty() ? 0 : 200;
    }

    LoopbackServer m_server;
    COvHtmlView m_view;
    std::vector<int> m_errors;
    QUrl m_errorUrl;
    bool m_cancel = false;
};

TEST_F(HtmlView, ShowsAPageThatAnswers200) {
    EXPECT_EQ(Load(m_server.Url("/ok")), 200);
    EXPECT_TRUE(m_view.toPlainText().contains("Online page"));
    EXPECT_TRUE(m_errors.empty());
    EXPECT_FALSE(m_view.IsLoading());
}

TEST_F(HtmlView, ReportsEveryFailureBeforeItsErrorPage) {
    EXPECT_EQ(Load(m_server.Url("/missing")), 404);
    EXPECT_EQ(m_errorUrl, QUrl(m_server.Url("/missing")));
    // Not cancelled: the view explains what went wrong.
    EXPECT_TRUE(m_view.toPlainText().contains("404")) << m_view.toPlainText().toStdString();
    EXPECT_FALSE(m_view.toPlainText().contains("Not found"));

    EXPECT_EQ(Load(m_server.Url("/loop")), FETCH_REDIRECT_LOOP);
    EXPECT_EQ(Load(QStringLiteral("http://127.0.0.1:%1/").arg(ClosedPort())), FETCH_NO_CONNECTION);
    EXPECT_EQ(Load("ftp://127.0.0.1/file"), FETCH_BAD_ADDRESS);
    EXPECT_EQ(m_errors.size(), 4u);
}

TEST_F(HtmlView, GivesUpOnAStalledServerWithoutBlocking) {
    m_view.Navigate(m_server.Url("/stall"));
    // Navigate returned while the page is still loading: the deadline fires
    // later, from the event loop.
    EXPECT_TRUE(m_view.IsLoading());
    EXPECT_TRUE(m_errors.empty());
    ASSERT_TRUE(WaitFor([this] { return !m_errors.empty(); }, 5000));
    EXPECT_EQ(m_errors.back(), FETCH_TIMEOUT);
    EXPECT_FALSE(m_view.IsLoading());
}

TEST_F(HtmlView, CancelledErrorKeepsThePageShown) {
    ASSERT_EQ(Load(m_server.Url("/ok")), 200);
    m_cancel = true;
    EXPECT_EQ(Load(m_server.Url("/missing")), 404);
    EXPECT_TRUE(m_view.toPlainText().contains("Online page"));
}

TEST_F(HtmlView, LoadsLocalFilesAndReportsMissingOnes) {
    QTemporaryDir dir;
    QFile page(dir.filePath("tapper.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write(
        "<html><head><meta charset=\"utf-8\"></head><body><p>Offline \xe8\xb5\x84\xe6\xba\x90</p>"
        "<a href=\"https://www.orvantek.example/x\">site</a></body></html>");
    page.close();
    EXPECT_EQ(Load(dir.filePath("tapper.html")), 200);
    EXPECT_TRUE(m_view.toPlainText().contains(QString::fromUtf8("Offline \xe8\xb5\x84\xe6\xba\x90")));
    EXPECT_EQ(Load(dir.filePath("absent.html")), FETCH_FILE_ERROR);
}

TEST_F(HtmlView, WebPagesCannotPullInLocalFiles) {
    QTemporaryDir dir;
    QFile style(dir.filePath("secret.css"));
    ASSERT_TRUE(style.open(QIODevice::WriteOnly));
    style.write("p { color: red; }");
    style.close();
    const QUrl secret = QUrl::fromLocalFile(dir.filePath("secret.css"));
    ASSERT_EQ(Load(m_server.Url("/ok")), 200);
    EXPECT_FALSE(m_view.loadResource(QTextDocument::StyleSheetResource, secret).isValid());
    EXPECT_FALSE(m_view.loadResource(QTextDocument::ImageResource, QUrl("pic.png")).isValid());
    // A local page reads its own neighbours.
    QFile page(dir.filePath("page.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<p>local</p>");
    page.close();
    ASSERT_EQ(Load(dir.filePath("page.html")), 200);
    EXPECT_EQ(m_view.loadResource(QTextDocument::StyleSheetResource, QUrl("secret.css")).toString(),
              "p { color: red; }");
}

TEST_F(HtmlView, PagesWhoseLayoutWouldStallOrCrashAreRefusedBeforeLayout) {
    const auto tables = [](int depth) {
        return QByteArray("<table><tr><td>").repeated(depth) + "x" + QByteArray("</td></tr></table>").repeated(depth);
    };
    const std::pair<const char*, QByteArray> pages[] = {
        {"20 nested tables", tables(20)},
        {"30 nested tables", tables(30)},
        {"5000 nested tables", tables(5000)},
        {"100000 nested divisions", QByteArray("<div>").repeated(100000)},
        {"a word of 4 MB", QByteArray(4000000, 'a')},
        {"a huge cell padding", "<table cellpadding=\"100000000\"><tr><td>x</td></tr></table>"},
        {"a row of 6000 cells", "<table><tr>" + QByteArray("<td>x</td>").repeated(6000) + "</tr></table>"},
    };
    for (const auto& [what, page] : pages) {
        m_server.Route("/hostile", LoopbackServer::Response(200, page, "Content-Type: text/html\r\n"));
        EXPECT_EQ(Load(m_server.Url("/hostile")), FETCH_TOO_COMPLEX) << what;
        EXPECT_TRUE(m_view.toPlainText().contains("too deeply nested")) << what;
    }
    m_server.Route("/tables", LoopbackServer::Response(200, tables(3)));
    EXPECT_EQ(Load(m_server.Url("/tables")), 200);
}

TEST_F(HtmlView, AWebPageReachesNoLocalFileAndItsToolTipsAreText) {
    QTemporaryDir dir;
    QImage picture(400, 400, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QByteArray png = dir.filePath("pic.png").toUtf8();
    ASSERT_TRUE(picture.save(png));
    m_server.Route("/page", LoopbackServer::Response(200, "<p><span title=\"&lt;img src=&quot;" + png +
                                                              "&quot;&gt;\">hover here, hover here</span></p>"
                                                              "<p><img src=\"file://" +
                                                              png + "\"></p>"));
    m_view.resize(500, 300);
    m_view.show();
    ASSERT_EQ(Load(m_server.Url("/page")), 200);
    // The picture named by its full address is not read either.
    EXPECT_LT(m_view.document()->size().height(), 400);

    const QPoint at(12, 12);
    QHelpEvent help(QEvent::ToolTip, at, m_view.viewport()->mapToGlobal(at));
    QApplication::sendEvent(m_view.viewport(), &help);
    EXPECT_TRUE(QToolTip::text().contains("&lt;img src=")) << QToolTip::text().toStdString();
    EXPECT_FALSE(QToolTip::text().contains("<img")) << QToolTip::text().toStdString();
    QToolTip::hideText();
    m_view.hide();
}

TEST_F(HtmlView, LinksGoToTheBrowserOnlyForWebAndMail) {
    std::vector<QUrl> opened;
    m_view.SetLinkOpener([&opened](const QUrl& url) { opened.push_back(url); });
    ASSERT_EQ(Load(m_server.Url("/ok")), 200);
    emit m_view.anchorClicked(QUrl("other.html"));
    emit m_view.anchorClicked(QUrl("mailto:support@orvantek.example"));
    emit m_view.anchorClicked(QUrl("javascript:alert(1)"));
    emit m_view.anchorClicked(QUrl("file:///etc/passwd"));
    emit m_view.anchorClicked(QUrl("#top"));
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl(m_server.Url("/other.html")));  // resolved against the page
    EXPECT_EQ(opened[1].scheme(), "mailto");
    // The view itself stays on its page.
    EXPECT_EQ(m_view.CurrentUrl(), QUrl(m_server.Url("/ok")));
}

}  // namespace

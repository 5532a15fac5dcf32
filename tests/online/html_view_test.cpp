// The HTML view against a loopback server: a page, a missing page, a stalled
// server, a redirect loop, no server at all, local files and links.
#include <QApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "OvHtmlView.h"
#include "loopback_server.h"

namespace {

class HtmlView : public WithTestApp, public ::testing::Test {
protected:
    void SetUp() override
    {
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
    int Load(const QString& address)
    {
        QSignalSpy complete(&m_view, &COvHtmlView::navigateComplete);
        const std::size_t before = m_errors.size();
        m_view.Navigate(address);
        for (int i = 0; i < 100 && complete.isEmpty() && m_errors.size() == before; ++i)
            complete.wait(50);
        if (m_errors.size() > before)
            return m_errors.back();
        return complete.isEmpty() ? 0 : 200;
    }

    LoopbackServer m_server;
    COvHtmlView m_view;
    std::vector<int> m_errors;
    QUrl m_errorUrl;
    bool m_cancel = false;
};

TEST_F(HtmlView, ShowsAPageThatAnswers200)
{
    EXPECT_EQ(Load(m_server.Url("/ok")), 200);
    EXPECT_TRUE(m_view.toPlainText().contains("Online page"));
    EXPECT_TRUE(m_errors.empty());
    EXPECT_FALSE(m_view.IsLoading());
}

TEST_F(HtmlView, ReportsEveryFailureBeforeItsErrorPage)
{
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

TEST_F(HtmlView, GivesUpOnAStalledServerWithoutBlocking)
{
    m_view.Navigate(m_server.Url("/stall"));
    // Navigate returned while the page is still loading: the deadline fires
    // later, from the event loop.
    EXPECT_TRUE(m_view.IsLoading());
    EXPECT_TRUE(m_errors.empty());
    ASSERT_TRUE(WaitFor([this] { return !m_errors.empty(); }, 5000));
    EXPECT_EQ(m_errors.back(), FETCH_TIMEOUT);
    EXPECT_FALSE(m_view.IsLoading());
}

TEST_F(HtmlView, CancelledErrorKeepsThePageShown)
{
    ASSERT_EQ(Load(m_server.Url("/ok")), 200);
    m_cancel = true;
    EXPECT_EQ(Load(m_server.Url("/missing")), 404);
    EXPECT_TRUE(m_view.toPlainText().contains("Online page"));
}

TEST_F(HtmlView, LoadsLocalFilesAndReportsMissingOnes)
{
    QTemporaryDir dir;
    QFile page(dir.filePath("tapper.html"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.write("<html><head><meta charset=\"utf-8\"></head><body><p>Offline \xe8\xb5\x84\xe6\xba\x90</p>"
               "<a href=\"https://www.orvantek.example/x\">site</a></body></html>");
    page.close();
    EXPECT_EQ(Load(dir.filePath("tapper.html")), 200);
    EXPECT_TRUE(m_view.toPlainText().contains(QString::fromUtf8("Offline \xe8\xb5\x84\xe6\xba\x90")));
    EXPECT_EQ(Load(dir.filePath("absent.html")), FETCH_FILE_ERROR);
}

TEST_F(HtmlView, WebPagesCannotPullInLocalFiles)
{
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

TEST_F(HtmlView, LinksGoToTheBrowserOnlyForWebAndMail)
{
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

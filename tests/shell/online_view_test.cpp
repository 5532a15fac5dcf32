// The online resource pane against the loopback HTTP server: a page that
// loads stays, every failure shows the installed page once, never twice.
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "OnlineResourceView.h"
#include "support/loopback_server.h"

namespace {

class OnlineView : public WithTestApp, public ::testing::Test {
protected:
    void SetUp() override {
        server.Route("/ok", LoopbackServer::Response(200, "<html><body><h1>Online page</h1></body></html>",
                                                     "Content-Type: text/html; charset=utf-8\r\n"));
        server.Route("/missing", LoopbackServer::Response(404, "<html><body>Not found</body></html>"));
        server.Route("/loop", LoopbackServer::Response(302, {}, "Location: /loop\r\n"));
        server.Stall("/stall");
        server.Route("/complex", LoopbackServer::Response(200, QByteArray("<table><tr><td>").repeated(20) + "x" +
                                                                   QByteArray("</td></tr></table>").repeated(20)));
        QFile page(local());
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write("<html><body><h1>Installed page</h1></body></html>");
    }
    QString local() const { return dir.filePath("tapper.html"); }

    // A view of address started as the pane starts it; counts local pages shown.
    std::unique_ptr<COnlineResourceView> Open(const QString& address, const QString& localPage) {
        auto view = std::make_unique<COnlineResourceView>(address, localPage);
        view->SetTimeout(400);
        QObject::connect(view.get(), &COvHtmlView::navigateComplete, [this](const QUrl& url) {
            if (url.isLocalFile()) {
                ++localShown;
            }
        });
        view->OnInitialUpdate();
        return view;
    }

    LoopbackServer server;
    QTemporaryDir dir;
    int localShown = 0;
};

TEST_F(OnlineView, APageThatLoadsStays) {
    auto view = Open(server.Url("/ok"), local());
    ASSERT_TRUE(WaitFor([&] { return view->toPlainText().contains("Online page"); }, 5000));
    WaitFor([] { return false; }, 100);
    EXPECT_FALSE(view->LocalShown());
    EXPECT_EQ(localShown, 0);
}

TEST_F(OnlineView, EachFailureShowsTheInstalledPage) {
    for (const char* path : {"/missing", "/stall", "/loop", "/complex"}) {
        localShown = 0;
        auto view = Open(server.Url(path), local());
        ASSERT_TRUE(WaitFor([&] { return localShown == 1; }, 5000)) << path;
        EXPECT_TRUE(view->LocalShown());
        EXPECT_TRUE(view->toPlainText().contains("Installed page")) << path;
        EXPECT_FALSE(view->toPlainText().contains("Not found"));
    }
}

TEST_F(OnlineView, TheInstalledPageIsShownOnceNeverTwice) {
    auto view = Open(server.Url("/loop"), local());
    ASSERT_TRUE(WaitFor([&] { return localShown == 1; }, 5000));
    // A second failure posts the message again; nothing more is loaded.
    view->OnInitialUpdate();
    ASSERT_TRUE(WaitFor([&] { return !view->IsLoading(); }, 5000));
    WaitFor([] { return false; }, 200);
    EXPECT_EQ(localShown, 1);
}

TEST_F(OnlineView, WithoutAnInstalledPageTheViewStaysAsItIs) {
    auto view = Open(server.Url("/missing"), dir.filePath("absent.html"));
    ASSERT_TRUE(WaitFor([&] { return view->LocalShown(); }, 5000));
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(localShown, 0);
    EXPECT_FALSE(view->toPlainText().contains("Not found"));
}

}  // namespace

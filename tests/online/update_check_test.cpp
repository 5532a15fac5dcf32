// The update check against a loopback server: newer, the same, garbage and
// oversized answers in both modes; the skipped version remembered.
#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include "../registry/reg_test_util.h"
#include "support/loopback_server.h"
#include "ovupdate/OvUpdate.h"

namespace {

const QString kTitle = QStringLiteral("Orvantek Ping Tool");
const QString kVersion = QStringLiteral("1.1.1.265");

QByteArray Xml(const QByteArray& version, const QByteArray& notes = "&lt;b&gt;Faster&lt;/b&gt; chart.") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<OvUpdate product=\"Orvantek Ping Tool\">"
           "<Version>" +
           version +
           "</Version><Download>https://www.orvantek.example/dl.html</Download>"
           "<Notes>" +
           notes + "</Notes></OvUpdate>";
}

// The visible message boxes of the application.
QList<QMessageBox*> Boxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            boxes << box;
        }
    }
    return boxes;
}

QAbstractButton* ButtonWithRole(QMessageBox* box, QMessageBox::ButtonRole role) {
    for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == role) {
            return button;
        }
    }
    return nullptr;
}

class UpdateCheck : public WithTestApp, public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        m_server.Route("/newer", LoopbackServer::Response(200, Xml("1.2.0.301")));
        m_server.Route("/same", LoopbackServer::Response(200, Xml("1.1.1.265")));
        m_server.Route("/older", LoopbackServer::Response(200, Xml("1.1.1.9")));
        m_server.Route("/garbage", LoopbackServer::Response(200, "\x89PNG\r\n<<<not xml>>>"));
        m_server.Route("/huge", LoopbackServer::Response(200, Xml("9.0") + QByteArray(70 * 1024, ' ')));
        // Too large, and no length announced: the cap holds while reading.
        m_server.Route("/stream",
                       "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + Xml("9.0") + QByteArray(70 * 1024, ' '));
        m_server.Route("/error", LoopbackServer::Response(500, Xml("9.0")));
        m_server.Stall("/stall");
    }
    void TearDown() override {
        for (QMessageBox* box : Boxes()) {
            box->close();
        }
    }

    // Runs one check of the answer at path; the outcome and detail of checkFinished.
    std::pair<int, int> Check(const QString& path, int mode) {
        // Each check has its own updater, kept until the test ends with its dialog.
        COvUpdate& update = *m_updates.emplace_back(std::make_unique<COvUpdate>(kTitle, kVersion, m_server.Url(path)));
        update.SetTimeout(500);
        QSignalSpy finished(&update, &COvUpdate::checkFinished);
        EXPECT_EQ(update.DoUpdate(nullptr, mode, QString()), 1);
        EXPECT_TRUE(WaitFor([&] { return !finished.isEmpty(); }, 5000));
        if (finished.isEmpty()) {
            return {0, 0};
        }
        return {finished[0][0].toInt(), finished[0][1].toInt()};
    }

    regtest::TempRegistry m_registry;
    LoopbackServer m_server;
    std::vector<std::unique_ptr<COvUpdate>> m_updates;
};

TEST_F(UpdateCheck, NewerVersionOffersItsDownloadInBothModes) {
    for (int mode : {0, 1}) {
        EXPECT_EQ(Check("/newer", mode).first, UPDATE_NEWER);
        const QList<QMessageBox*> boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1) << "mode " << mode;
        EXPECT_TRUE(boxes[0]->text().contains("1.2.0.301"));
        EXPECT_TRUE(boxes[0]->text().contains(kVersion));
        // Notes from the server are plain text, never markup.
        EXPECT_EQ(boxes[0]->textFormat(), Qt::PlainText);
        EXPECT_EQ(boxes[0]->informativeText(), "<b>Faster</b> chart.");
        QAbstractButton* later = ButtonWithRole(boxes[0], QMessageBox::RejectRole);
        ASSERT_NE(later, nullptr);
        later->click();
        EXPECT_TRUE(WaitFor([] { return Boxes().isEmpty(); }, 2000));
    }
    // The server learns which product and version ask.
    const QUrlQuery query(QUrl(m_server.Requests().back()));
    EXPECT_EQ(query.queryItemValue("product", QUrl::FullyDecoded), kTitle);
    EXPECT_EQ(query.queryItemValue("version"), kVersion);
    EXPECT_GT(CUpdateMemory(kTitle.toStdU16String()).LastCheck(), 1700000000);
}

TEST_F(UpdateCheck, NotesAreShownAsTheyAreNeverAsMarkup) {
    QTemporaryDir dir;
    QImage picture(400, 400, QImage::Format_RGB32);
    picture.fill(Qt::red);
    const QString png = dir.filePath("local.png");
    ASSERT_TRUE(picture.save(png));
    // Markup would be drawn bold, linked to a local file, or with a picture
    // read from disk; the last one would read /dev/zero without end.
    const QString notes[] = {
        QStringLiteral("<b>Bold</b> notes"),
        QStringLiteral("<a href=\"file:///etc/passwd\">passwords</a>"),
        "<img src=\"" + png + "\">",
        QStringLiteral("<img src=\"/dev/zero\">"),
    };
    for (const QString& text : notes) {
        m_server.Route("/notes", LoopbackServer::Response(200, Xml("1.2.0.301", text.toHtmlEscaped().toUtf8())));
        ASSERT_EQ(Check("/notes", 1).first, UPDATE_NEWER) << text.toStdString();
        const QList<QMessageBox*> boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_EQ(boxes[0]->informativeText(), text);
        for (const QLabel* label : boxes[0]->findChildren<QLabel*>()) {
            EXPECT_EQ(label->textFormat(), Qt::PlainText) << text.toStdString();
            EXPECT_FALSE(label->openExternalLinks());
        }
        // A picture laid out would make the dialog at least 400 pixels tall.
        EXPECT_LT(boxes[0]->sizeHint().height(), 400) << text.toStdString();
        boxes[0]->close();
    }
}

TEST_F(UpdateCheck, SameOrOlderVersionIsReportedOnlyWhenAsked) {
    EXPECT_EQ(Check("/same", 1).first, UPDATE_CURRENT);
    EXPECT_TRUE(Boxes().isEmpty());
    EXPECT_EQ(Check("/older", 1).first, UPDATE_CURRENT);
    EXPECT_TRUE(Boxes().isEmpty());
    EXPECT_EQ(Check("/same", 0).first, UPDATE_CURRENT);
    ASSERT_EQ(Boxes().size(), 1);
    EXPECT_TRUE(Boxes()[0]->text().contains("latest"));
    EXPECT_EQ(Boxes()[0]->icon(), QMessageBox::Information);
}

TEST_F(UpdateCheck, UnusableAnswersFailQuietlyWhenAutomaticAndClearlyWhenAsked) {
    struct Case {
        const char* path;
        int detail;
        const char* says;
    } const cases[] = {
        {"/garbage", ANSWER_NOT_TEXT, "could not be read"},
        {"/huge", FETCH_TOO_LARGE, "too large"},
        {"/stream", FETCH_TOO_LARGE, "too large"},
        {"/error", 500, "500"},
        {"/stall", FETCH_TIMEOUT, "15 seconds"},
    };
    for (const Case& c : cases) {
        const auto quiet = Check(c.path, 1);
        EXPECT_EQ(quiet.first, UPDATE_FAILED) << c.path;
        EXPECT_EQ(quiet.second, c.detail) << c.path;
        EXPECT_TRUE(Boxes().isEmpty()) << c.path;

        EXPECT_EQ(Check(c.path, 0).first, UPDATE_FAILED) << c.path;
        const QList<QMessageBox*> boxes = Boxes();
        ASSERT_EQ(boxes.size(), 1) << c.path;
        EXPECT_EQ(boxes[0]->icon(), QMessageBox::Warning);
        EXPECT_TRUE(boxes[0]->text().contains(c.says)) << boxes[0]->text().toStdString();
        boxes[0]->close();
    }
    // Failed checks leave no check time behind.
    EXPECT_EQ(CUpdateMemory(kTitle.toStdU16String()).LastCheck(), 0);
}

TEST_F(UpdateCheck, SkippedVersionSilencesOnlyTheAutomaticCheck) {
    EXPECT_EQ(Check("/newer", 1).first, UPDATE_NEWER);
    ASSERT_EQ(Boxes().size(), 1);
    QAbstractButton* skip = ButtonWithRole(Boxes()[0], QMessageBox::DestructiveRole);
    ASSERT_NE(skip, nullptr);
    skip->click();
    EXPECT_EQ(CUpdateMemory(kTitle.toStdU16String()).SkippedVersion(), u"1.2.0.301");

    // The next start's automatic check stays silent about that version.
    EXPECT_EQ(Check("/newer", 1).first, UPDATE_SKIPPED);
    EXPECT_TRUE(Boxes().isEmpty());
    // Asked by the user, it is shown all the same.
    EXPECT_EQ(Check("/newer", 0).first, UPDATE_SKIPPED);
    EXPECT_EQ(Boxes().size(), 1);
}

TEST_F(UpdateCheck, NeverWaitsInTheCallerAndAUserRequestJoinsARunningCheck) {
    COvUpdate update(kTitle, kVersion, m_server.Url("/stall"));
    update.SetTimeout(500);
    QSignalSpy finished(&update, &COvUpdate::checkFinished);
    EXPECT_EQ(update.DoUpdate(nullptr, 1, QString()), 1);
    // Returned while the check still runs.
    EXPECT_TRUE(update.IsChecking());
    EXPECT_TRUE(finished.isEmpty());
    // The user's request while the automatic one runs makes it report.
    EXPECT_EQ(update.DoUpdate(nullptr, 0, QStringLiteral("Caption")), 1);
    ASSERT_TRUE(WaitFor([&] { return !finished.isEmpty(); }, 5000));
    EXPECT_EQ(finished.size(), 1);
    ASSERT_EQ(Boxes().size(), 1);
    EXPECT_EQ(Boxes()[0]->windowTitle(), "Caption");

    COvUpdate nowhere(kTitle, kVersion, QStringLiteral("not an address"));
    QSignalSpy failed(&nowhere, &COvUpdate::checkFinished);
    EXPECT_EQ(nowhere.DoUpdate(nullptr, 1, QString()), 0);
    ASSERT_EQ(failed.size(), 1);
    EXPECT_EQ(failed[0][1].toInt(), FETCH_BAD_ADDRESS);
}

}  // namespace

// The main window's file commands: host lists opened, saved, dropped and
// remembered, and the results exported on request and when a run ends.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include "FileCommands.h"
#include "FrameApp.h"
#include "HistoryComboBox.h"
#include "MainFrame.h"
#include "OvPingDoc.h"
#include "support/fake_icmp.h"
#include "support/temp_registry.h"

namespace {

namespace fs = std::filesystem;

// Records what the window asked to write and answers with error.
class WritingApp final : public IFrameApp {
public:
    void OnHelpCommand(unsigned, const QString&) override {}
    void OnWebCommand(unsigned) override {}
    void OnUpdateCheck(QWidget*, bool) override {}
    void OnAbout(QWidget*) override {}
    bool OnlineFeaturesOn() const override { return false; }
    QWidget* CreateOnlineResourceView(QWidget*) override { return nullptr; }
    QString Language() const override { return QStringLiteral("en_us"); }
    void SetMainTitle(std::u16string_view) override {}
    QString ApplicationTitle() const override { return QStringLiteral("Tapper"); }
    int WriteResults(const COvPingDoc& doc, ResultFile kind, const std::string& path) override {
        writes.push_back({kind, path, doc.GetHostCount()});
        return error;
    }

    struct Write {
        ResultFile kind;
        std::string path;
        UINT hosts;
    };
    std::vector<Write> writes;
    int error = 0;
};

class FileCommandsTest : public ::testing::Test {
protected:
    FileCommandsTest() { fake.SetDefault({.roundTripTime = 2}); }
    ~FileCommandsTest() override {
        frame.reset();
        doc.StopAll();
    }

    CMainFrame& Open() {
        const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        const std::u16string key = u"Software\\Orvantek Test\\" + std::u16string(test.begin(), test.end());
        frame = std::make_unique<CMainFrame>(doc, &app, key);
        frame->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(frame.get()));
        Commands().SetMessageFn([this](QMessageBox::Icon, const QString& text) { messages << text; });
        return *frame;
    }
    CFileCommands& Commands() { return frame->FileCommands(); }
    QString Entry() const { return frame->HostEntry()->currentText(); }
    QString Write(const std::string& name, const std::string& bytes) const {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return QString::fromStdString(path.string());
    }
    // Drags data onto target and drops it there; true when the drop was taken.
    static bool Drop(QWidget* target, QMimeData& data) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted()) {
            return false;
        }
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        return drop.isAccepted();
    }
    // Shows the File menu as the user opens it.
    QMenu* FileMenu() {
        QMenu* menu = frame->menuBar()->actions().constFirst()->menu();
        emit menu->aboutToShow();
        return menu;
    }

    ov::test::TempRegistry m_registry;  // first made, last gone: holds the files of the test too
    const fs::path m_dir = m_registry.dir();
    ov::test::FakeIcmpProvider fake;
    ov::test::ProviderScope scope{{&fake}};
    WritingApp app;
    COvPingDoc doc;
    std::unique_ptr<CMainFrame> frame;
    QStringList messages;
};

TEST_F(FileCommandsTest, AnOpenedListFillsTheEntryAndTheFourNewestAreRemembered) {
    Open();
    for (int i = 1; i <= 5; ++i) {
        const std::string host = "127.0.0." + std::to_string(i);
        const QString file = Write("list" + std::to_string(i) + ".txt", "# hosts\n" + host + " h.example\n");
        ASSERT_TRUE(Commands().OpenHostList(file));
        EXPECT_EQ(Entry(), QString::fromStdString(host + " h.example"));
        EXPECT_EQ(frame->HostEntry()->itemText(0), Entry()) << "the opened hosts head the history";
    }
    const QStringList recent = Commands().RecentHostLists();
    ASSERT_EQ(recent.size(), 4);
    EXPECT_TRUE(recent.front().endsWith(QStringLiteral("list5.txt")));
    EXPECT_TRUE(recent.back().endsWith(QStringLiteral("list2.txt")));

    // A new window finds them in its File menu, and an item opens its list.
    frame.reset();
    Open();
    EXPECT_EQ(Commands().RecentHostLists(), recent);
    FileMenu();
    QAction* third = frame->MenuCommand(ID_RECENT_HOST_LIST[2]);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(third->isVisible() && third->isEnabled());
    EXPECT_TRUE(third->text().startsWith(QStringLiteral("&3 ")) && third->text().endsWith(QStringLiteral("list3.txt")));
    third->trigger();
    EXPECT_EQ(Entry(), QStringLiteral("127.0.0.3 h.example"));
    EXPECT_TRUE(Commands().RecentHostLists().front().endsWith(QStringLiteral("list3.txt")));
}

TEST_F(FileCommandsTest, ARefusedListSaysWhyAndLeavesTheEntry) {
    Open();
    frame->HostEntry()->setEditText(QStringLiteral("127.0.0.9"));
    EXPECT_FALSE(Commands().OpenHostList(Write("latin1.txt", "a.example\nb\xE4.example\n")));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().startsWith(QStringLiteral("Line 2 of "))) << messages.front().toStdString();
    EXPECT_EQ(Entry(), QStringLiteral("127.0.0.9"));
    EXPECT_TRUE(Commands().RecentHostLists().isEmpty());
}

TEST_F(FileCommandsTest, SavedEntryHostsOpenAgainAsTheSameHosts) {
    Open();
    frame->HostEntry()->setEditText(QStringLiteral(" 127.0.0.1, a.example;b.example  "));
    FileMenu();
    EXPECT_TRUE(frame->MenuCommand(ID_SAVE_HOST_LIST)->isEnabled());
    const QString path = QString::fromStdString((m_dir / "saved.txt").string());
    ASSERT_TRUE(Commands().SaveHostList(path));
    std::ifstream in(path.toStdString(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "127.0.0.1\na.example\nb.example\n");
    frame->HostEntry()->setEditText(QString());
    ASSERT_TRUE(Commands().OpenHostList(path));
    EXPECT_EQ(Entry(), QStringLiteral("127.0.0.1 a.example b.example"));

    EXPECT_FALSE(Commands().SaveHostList(QString::fromStdString((m_dir / "none" / "x.txt").string())));
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().contains(QString::fromLocal8Bit(std::strerror(ENOENT))));
}

TEST_F(FileCommandsTest, DroppedFilesAndTextAreOpenedButNotDuringARun) {
    Open();
    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(Write("drop.txt", "127.0.0.5\r\n127.0.0.6 # two\r\n"))});
    EXPECT_TRUE(Drop(frame->HostEntry()->lineEdit(), file));
    EXPECT_EQ(Entry(), QStringLiteral("127.0.0.5 127.0.0.6"));

    QMimeData text;
    text.setText(QStringLiteral("# pasted\n127.0.0.7\n127.0.0.8\n"));
    EXPECT_TRUE(Drop(frame.get(), text));
    EXPECT_EQ(Entry(), QStringLiteral("127.0.0.7 127.0.0.8"));

    frame->OnStartStop();
    ASSERT_TRUE(doc.IsRunning());
    text.setText(QStringLiteral("127.0.0.9"));
    EXPECT_FALSE(Drop(frame.get(), text));
    frame->OnStartStop();
    EXPECT_EQ(Entry(), QStringLiteral("127.0.0.7 127.0.0.8"));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(FileCommandsTest, ExportIsOfferedWithHostsAndAFailureSaysTheEarlierFileStays) {
    Open();
    FileMenu();
    EXPECT_FALSE(frame->MenuCommand(ID_EXPORT_RESULTS)->isEnabled());
    frame->HostEntry()->setEditText(QStringLiteral("127.0.0.1 127.0.0.2"));
    frame->OnStartStop();
    FileMenu();
    EXPECT_TRUE(frame->MenuCommand(ID_EXPORT_RESULTS)->isEnabled()) << "also during a run";

    const auto dialog = Commands().NewExportDialog();
    ASSERT_EQ(dialog->nameFilters().size(), 4);
    dialog->selectFile(QStringLiteral("run.csv"));
    // The user picks the last type: the name typed so far takes its suffix.
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    ASSERT_NE(types, nullptr);
    QTest::keyClick(types, Qt::Key_End);
    EXPECT_EQ(CFileCommands::KindOfFilter(*dialog), ResultFile::JsonEverything);
    ASSERT_EQ(dialog->selectedFiles().size(), 1);
    EXPECT_TRUE(dialog->selectedFiles().front().endsWith(QStringLiteral("/run.json")))
        << dialog->selectedFiles().front().toStdString();

    EXPECT_TRUE(Commands().ExportResults(QStringLiteral("/x/r.csv"), ResultFile::CsvEverything));
    app.error = ENOSPC;
    EXPECT_FALSE(Commands().ExportResults(QStringLiteral("/x/r.csv"), ResultFile::Csv));
    ASSERT_EQ(app.writes.size(), 2u);
    EXPECT_EQ(app.writes[0].kind, ResultFile::CsvEverything);
    EXPECT_EQ(app.writes[0].hosts, 2u);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.front().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))));
    EXPECT_TRUE(messages.front().contains(QStringLiteral("left as it was")));
}

TEST_F(FileCommandsTest, ResultsAreWrittenWhenARunEndsAndWhenTheWindowClosesDuringOne) {
    Open();
    const std::string path = (m_dir / "unattended.JSON").string();
    Commands().WriteResultsWhenRunEnds(path);
    frame->HostEntry()->setEditText(QStringLiteral("127.0.0.1"));
    frame->OnStartStop();
    EXPECT_TRUE(app.writes.empty());
    frame->OnStartStop();
    QTRY_COMPARE(app.writes.size(), std::size_t{1});
    EXPECT_EQ(app.writes[0].kind, ResultFile::JsonEverything);
    EXPECT_EQ(app.writes[0].path, path);
    // Closing after the run was written writes nothing more; during a run it does.
    frame->OnStartStop();
    frame->close();
    EXPECT_EQ(app.writes.size(), 2u);
    EXPECT_EQ(app.writes.back().hosts, 1u);
}

}  // namespace

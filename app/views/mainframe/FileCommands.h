#pragma once
// The main window's file commands: host lists opened into and saved from the
// host entry (also by dropping a file or text on the window), the four most
// recent host list files, and the run's results exported as csv or json,
// by the user or, for unattended runs, whenever a run ends and when the
// window closes.
#include <array>
#include <functional>
#include <memory>
#include <string>

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>

#include "FrameApp.h"
#include "MainProfile.h"
#include "OvPingDoc.h"
#include "ViewIds.h"

class COvHistoryComboBox;
struct HostList;
class QAction;
class QFileDialog;
class QMainWindow;
class QMenu;

class CFileCommands final : public QObject, public IPingView {
    Q_OBJECT

public:
    // Shows a message over the window.
    using MessageFn = std::function<void(QMessageBox::Icon icon, const QString& text)>;

    // The commands of window over doc and its host entry; app writes the
    // results (null: nothing is written). The recent files live in the
    // profile below profileKey.
    CFileCommands(QMainWindow& window, COvPingDoc& doc, IFrameApp* app, COvHistoryComboBox& entry,
                  const std::u16string& profileKey);
    ~CFileCommands() override;

    // Puts the commands into menu before the item before.
    void AddToMenu(QMenu& menu, QAction* before);
    // Runs command id when it is one of these; false otherwise.
    bool Run(unsigned id);
    // True for the ids of these commands.
    static bool Owns(unsigned id) noexcept;
    // Enables the items for the run's state and names the recent files.
    void UpdateItems();

    // What the commands do once a file is chosen; false (and the user told
    // why) when it failed.
    bool OpenHostList(const QString& path);
    // A host list as text (dropped or pasted): the same rules as a file.
    bool TakeHostListText(const QString& text);
    bool SaveHostList(const QString& path);
    bool ExportResults(const QString& path, ResultFile kind);
    // From now on writes the results to path (csv, or json for a name ending
    // in ".json"; statistics and every event) when a run ends and when the
    // window closes with results not yet written.
    void WriteResultsWhenRunEnds(const std::string& path);
    // Called as the window closes.
    void WindowClosing();

    // The recent host list files, most recent first.
    QStringList RecentHostLists() const { return m_recent; }
    // The dialog of File > Export Results, not yet shown.
    std::unique_ptr<QFileDialog> NewExportDialog() const;
    // The kind the export dialog's chosen filter stands for.
    static ResultFile KindOfFilter(const QFileDialog& dialog);
    // Replaces the message boxes (tests).
    void SetMessageFn(MessageFn show) { m_message = std::move(show); }

    // IPingView.
    void OnUpdate(UINT hint) override;

protected:
    // Drops of a host list file or text on the window or the host entry.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Command;
    static constexpr std::size_t kCommandCount = 3;
    static const Command kCommands[kCommandCount];

    void OnOpenHostList();
    void OnSaveHostList();
    void OnExportResults();
    bool TakeHostList(const HostList& list, const QString& shownName);
    void RememberHostList(const QString& path);
    void SaveRecent();
    bool WriteAutoExport(bool closing);
    void Show(QMessageBox::Icon icon, const QString& text) const;
    // When the commands are enabled: no run goes on; the host entry names a
    // host; the run has results and a writer for them.
    bool Idle() const;
    bool EntryHasHosts() const;
    bool HasResults() const;

    QMainWindow& m_window;
    COvPingDoc& m_doc;
    IFrameApp* m_app;
    COvHistoryComboBox& m_entry;
    CMainProfile m_profile;
    QStringList m_recent;
    std::array<QAction*, kCommandCount> m_commands{};
    std::array<QAction*, 4> m_recentItems{};
    MessageFn m_message;
    std::string m_autoExportPath;
    bool m_autoExportDue = false;
};

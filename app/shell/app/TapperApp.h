#pragma once
// The application object of the window version: runs the interactive
// start-up in order (language module and its checks, title, help book,
// configuration file, document and main window, settings, command line,
// ping services, caption, updater), owns what lives as long as the run, and
// serves the main window's help, web, update and About commands.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QMessageBox>
#include <QString>
#include <QUrl>

#include "FrameApp.h"
#include "startup.h"

class CExitSignals;
class COvPingDoc;
class COvUpdate;
class CHelpWindow;
class QMainWindow;

// Dialog ids of the application.
inline constexpr unsigned int IDD_ABOUTBOX = 100;

class CTapperApp final : public IFrameApp {
public:
    // Shows a message box: owner (may be null), text, caption, icon.
    using MessageBoxFn =
        std::function<void(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon)>;
    // Opens an address in the user's web browser.
    using UrlOpener = std::function<bool(const QUrl&)>;

    // args: the program's arguments, the program name first. A QApplication
    // must exist while this object lives.
    explicit CTapperApp(std::vector<std::u16string> args);
    ~CTapperApp() override;
    CTapperApp(const CTapperApp&) = delete;
    CTapperApp& operator=(const CTapperApp&) = delete;

    // The interactive start-up; nonzero to run the event loop, 0 to end.
    int InitInstance();
    // Ends the run: the signal handlers, help window, main window, document
    // (its hosts joined), ping services and updater, in that order. Returns
    // the exit code.
    int ExitInstance();

    // Main window caption: the title alone for an empty name, else "name - title".
    void SetMainTitle(std::u16string_view name) override;
    // Opens the online help address of the language in the web browser.
    void OpenOnlineHelp();

    void SetMessageBox(MessageBoxFn show) { m_showMessage = std::move(show); }
    void SetUrlOpener(UrlOpener open) { m_openUrl = std::move(open); }

    // IFrameApp
    void OnHelpCommand(unsigned int command, const QString& context) override;
    void OnWebCommand(unsigned int command) override;
    void OnUpdateCheck(QWidget* owner, bool automatic) override;
    void OnAbout(QWidget* owner) override;
    bool OnlineFeaturesOn() const override { return m_bAutoCheckUpdate != 0; }
    QWidget* CreateOnlineResourceView(QWidget* parent) override;
    QString Language() const override;
    QString ApplicationTitle() const override { return QString::fromStdU16String(m_strTitle); }
    int WriteResults(const COvPingDoc& doc, ResultFile kind, const std::string& path) override;

    // Set before InitInstance: hosts of a host list file to follow those of
    // the command line, and where to write the results when the run ends or
    // the window closes ("" for nowhere).
    void SetRunFiles(std::u16string hosts, std::string exportPath);

    COvPingDoc* Document() const noexcept { return m_pDoc.get(); }
    QMainWindow* MainWindow() const noexcept { return m_pMainWnd.get(); }
    COvUpdate* Updater() const noexcept { return m_pUpdate.get(); }
    CHelpWindow* HelpWindow() const noexcept { return m_pHelp.get(); }
    const std::u16string& Title() const noexcept { return m_strTitle; }
    bool HasHelpFile() const noexcept { return m_bHelpFile != 0; }
    const CStartup& Startup() const noexcept { return m_startup; }

private:
    void ShowMessage(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon) const;
    void OpenAddress(int which) const;
    void ShowHelpPage(const QString& page);

    CStartup m_startup;
    std::u16string m_strTitle;
    int m_bHelpFile = 0;
    int m_bAutoCheckUpdate = 0;
    int m_bServicesBound = 0;
    // Declared before the window: the window refers to the document.
    std::unique_ptr<COvPingDoc> m_pDoc;
    std::unique_ptr<QMainWindow> m_pMainWnd;
    std::unique_ptr<COvUpdate> m_pUpdate;
    std::unique_ptr<CHelpWindow> m_pHelp;
    std::unique_ptr<CExitSignals> m_exitSignals;
    MessageBoxFn m_showMessage;
    UrlOpener m_openUrl;
    std::u16string m_fileHosts;
    std::string m_exportPath;
};

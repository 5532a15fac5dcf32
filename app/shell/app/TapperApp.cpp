#include "TapperApp.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMainWindow>

#include "AboutDlg.h"
#include "ExitSignals.h"
#include "HelpWindow.h"
#include "MainWindowFactory.h"
#include "QtText.h"
#include "OnlineAddress.h"
#include "OnlineResourceView.h"
#include "OvPingDoc.h"
#include "PingProfile.h"
#include "PingServices.h"
#include "PingSettings.h"
#include "ViewIds.h"
#include "cmdline.h"
#include "console_export.h"
#include "ovupdate/OvUpdate.h"

namespace {

void ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.button(QMessageBox::Ok)->setText(OvText(34507, u"OK"));
    // Texts can be copied (the address of a page no browser opened).
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}

}  // namespace

CTapperApp::CTapperApp(std::vector<std::u16string> args)
    : m_startup(std::move(args)),
      m_showMessage(ShowMessageBox),
      m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {}

CTapperApp::~CTapperApp() {
    ExitInstance();
}

void CTapperApp::ShowMessage(QWidget* owner, const QString& text, const QString& caption,
                             QMessageBox::Icon icon) const {
    if (m_showMessage) {
        m_showMessage(owner, text, caption, icon);
    }
}

int CTapperApp::InitInstance() {
    m_startup.RunCommonSteps();
    m_startup.FindLanguageAndFolder();
    // Before a module is in use the application's name is the English title.
    m_startup.ChooseLanguageResources([this](const std::u16string& text, MessageIcon icon) {
        ShowMessage(nullptr, ToQString(text), ToQString(kEnglishTitle),
                    icon == MessageIcon::Error ? QMessageBox::Critical : QMessageBox::NoIcon);
    });
    // In the language just chosen, before the hosts' sockets can take every descriptor.
    PrepareMessageFormatting();
    // The title is not made Qt's display name: window systems would append
    // that to every caption that does not end with it.
    m_strTitle = m_startup.TranslatedTitle();
    m_bHelpFile = HasHelpBook(m_startup.AppDir(), m_startup.Language()) ? 1 : 0;
    m_startup.OpenConfigFile();
    m_bAutoCheckUpdate = m_startup.ReadAutoCheckUpdate();

    m_pDoc = std::make_unique<COvPingDoc>();
    m_pMainWnd = CreateMainWindow(m_pDoc.get(), this);
    if (!m_pMainWnd) {
        return 0;
    }
    m_strTitle = m_startup.TranslatedTitle();

    const CProfile profile;
    LoadSettings(profile, *m_pDoc);

    // The command line changes this run only; nothing of it is saved.
    CCommandLine commandLine(*m_pDoc);
    bool autoStart = false;
    commandLine.onLast = [this, &autoStart](CCommandLine& line) {
        if (auto* frame = dynamic_cast<IPingFrame*>(m_pMainWnd.get())) {
            frame->SetHostEntryText(line.m_strHosts);
        }
        autoStart = line.m_bAutoStart != 0;
    };
    const std::vector<std::u16string>& args = m_startup.Args();
    commandLine.HandleArguments(std::vector<std::u16string>(args.begin() + (args.empty() ? 0 : 1), args.end()));
    if (!m_fileHosts.empty()) {
        if (auto* frame = dynamic_cast<IPingFrame*>(m_pMainWnd.get())) {
            frame->SetHostEntryText(commandLine.m_strHosts + m_fileHosts);
        }
    }
    if (!m_exportPath.empty()) {
        WriteResultsWhenRunEnds(*m_pMainWnd, m_exportPath);
    }

    if (!BindPingServices()) {
        ShowMessage(nullptr, OvText(33000, u"Can't Start NetWork.\nApplication will exit."), OvText(33001, u"Error"),
                    QMessageBox::NoIcon);
        return 0;
    }
    m_bServicesBound = 1;

    SetMainTitle(u"");
    ShowMainWindow(*m_pMainWnd);
    // "-a" starts the run once the services are bound and the window shows:
    // a run that cannot start says why over the window, and the caption
    // names its hosts.
    if (autoStart) {
        if (auto* frame = dynamic_cast<IPingFrame*>(m_pMainWnd.get())) {
            frame->ToggleStartStop();
        }
    }
    // A logout or kill ends the run as File > Exit does: history and
    // placement saved, then the hosts stopped when the event loop ends.
    m_exitSignals = std::make_unique<CExitSignals>([this] {
        if (m_pMainWnd) {
            m_pMainWnd->close();
        }
    });

    m_pUpdate = std::make_unique<COvUpdate>(ToQString(kEnglishTitle), ToQString(kProgramVersion),
                                            ToQString(OnlineAddress(ADDR_UPDATE_CHECK, m_startup.Language())));
    return 1;
}

int CTapperApp::ExitInstance() {
    m_exitSignals.reset();
    m_pHelp.reset();
    m_pMainWnd.reset();
    // The hosts' workers are joined here, before the services they use go.
    m_pDoc.reset();
    if (m_bServicesBound != 0) {
        UnbindPingServices();
        m_bServicesBound = 0;
    }
    m_pUpdate.reset();
    return 0;
}

void CTapperApp::SetRunFiles(std::u16string hosts, std::string exportPath) {
    m_fileHosts = std::move(hosts);
    m_exportPath = std::move(exportPath);
}

int CTapperApp::WriteResults(const COvPingDoc& doc, ResultFile kind, const std::string& path) {
    const bool json = kind == ResultFile::Json || kind == ResultFile::JsonEverything;
    const bool everything = kind == ResultFile::CsvEverything || kind == ResultFile::JsonEverything;
    return ExportResults(doc, json ? ConsoleFormat::Json : ConsoleFormat::Csv,
                         everything ? ExportContent::Everything : ExportContent::Statistics, path);
}

void CTapperApp::SetMainTitle(std::u16string_view name) {
    if (!m_pMainWnd) {
        return;
    }
    const std::u16string caption = name.empty() ? m_strTitle : std::u16string(name) + u" - " + m_strTitle;
    m_pMainWnd->setWindowTitle(ToQString(caption));
}

QString CTapperApp::Language() const {
    return ToQString(m_startup.Language());
}

void CTapperApp::OpenAddress(int which) const {
    const std::u16string address = OnlineAddress(static_cast<OV_ADDRESS>(which), m_startup.Language());
    if (address.empty() || !m_openUrl || m_openUrl(QUrl(ToQString(address)))) {
        return;
    }
    // Without a browser the user still gets the address, to copy.
    ShowMessage(
        m_pMainWnd.get(),
        OvText(34603, u"No web browser could be opened. Open this address in your web browser:\n%s_a%", address),
        ToQString(m_strTitle), QMessageBox::Warning);
}

void CTapperApp::OpenOnlineHelp() {
    OpenAddress(ADDR_ONLINE_HELP);
}

void CTapperApp::ShowHelpPage(const QString& page) {
    if (!m_pHelp) {
        m_pHelp = std::make_unique<CHelpWindow>(ToQString(HelpBookFolder(m_startup.AppDir(), m_startup.Language())),
                                                ToQString(m_strTitle));
    }
    m_pHelp->ShowPage(page);
}

void CTapperApp::OnHelpCommand(unsigned int command, const QString& context) {
    if (m_bHelpFile == 0) {
        OpenOnlineHelp();
        return;
    }
    switch (command) {
        case ID_HELP_INDEX:
        case ID_HELP_FINDER:
            ShowHelpPage(QString());
            break;
        case ID_HELP:
        case ID_CONTEXT_HELP:
            ShowHelpPage(context);  // the contents when there is no such page
            break;
        default:
            break;
    }
}

void CTapperApp::OnWebCommand(unsigned int command) {
    switch (command) {
        case ID_HOME_PAGE:
        case ID_LOGO:
            OpenAddress(ADDR_HOME_PAGE);
            break;
        case ID_SUPPORT_FORUM:
            OpenAddress(ADDR_FORUM);
            break;
        default:
            break;
    }
}

void CTapperApp::OnUpdateCheck(QWidget* owner, bool automatic) {
    if (!m_pUpdate || (automatic && m_bAutoCheckUpdate == 0)) {
        return;
    }
    m_pUpdate->DoUpdate(owner, automatic ? 1 : 0, QString());
}

void CTapperApp::OnAbout(QWidget* owner) {
    CAboutDlg dialog(ToQString(m_strTitle), ToQString(kProgramVersion), owner);
    dialog.exec();
}

QWidget* CTapperApp::CreateOnlineResourceView(QWidget* parent) {
    auto* view =
        new COnlineResourceView(ToQString(OnlineAddress(ADDR_ONLINE_RESOURCE, m_startup.Language())),
                                ToQString(LocalResourcePage(m_startup.AppDir(), m_startup.Language())), parent);
    view->OnInitialUpdate();
    return view;
}

#include "FileCommands.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QAbstractButton>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QUrl>

#include "HistoryComboBox.h"
#include "HostList.h"
#include "MsgFormat.h"
#include "ViewText.h"
#include "ovui/OvCommand.h"
#include "platform/codepage.h"
#include "platform/escape.h"

namespace {

constexpr char16_t kRecentSection[] = u"Settings\\Recent Host Lists";
constexpr int kRecentCount = static_cast<int>(ID_RECENT_HOST_LIST.size());

// The profile entry of the recent file at position (0: the most recent).
std::u16string RecentEntry(int position) {
    return u"File" + ov::Utf8ToWide(std::to_string(position + 1));
}

// The export dialog's filters, in the order of ResultFile.
struct ExportFilter {
    unsigned textId;
    const char16_t* english;
    const char* suffix;
};

constexpr ExportFilter kExportFilters[] = {
    {35227, u"CSV, statistics (*.csv)", "csv"},
    {35228, u"JSON lines, statistics (*.json)", "json"},
    {35229, u"CSV, statistics and every event (*.csv)", "csv"},
    {35230, u"JSON lines, statistics and every event (*.json)", "json"},
};

QString Format(unsigned id, const char16_t* english, const QString& a) {
    const std::u16string text = ov::EscapeControls(a.toStdU16String());
    return QString::fromUtf16(LoadFormatString(id, english, text.c_str()));
}

QString Format(unsigned id, const char16_t* english, const QString& a, const QString& b) {
    const std::u16string first = ov::EscapeControls(a.toStdU16String());
    const std::u16string second = b.toStdU16String();
    return QString::fromUtf16(LoadFormatString(id, english, first.c_str(), second.c_str()));
}

QString Reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A dialog of the file commands with its labels in the program's language.
std::unique_ptr<QFileDialog> NewFileDialog(QWidget* parent, const QString& caption, QFileDialog::AcceptMode mode) {
    auto dialog = std::make_unique<QFileDialog>(parent, caption);
    dialog->setAcceptMode(mode);
    dialog->setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setLabelText(QFileDialog::LookIn, OvText(35231, u"Look in:"));
    dialog->setLabelText(QFileDialog::FileName, OvText(35232, u"File &name:"));
    dialog->setLabelText(QFileDialog::FileType, OvText(35233, u"Files of type:"));
    dialog->setLabelText(QFileDialog::Accept,
                         mode == QFileDialog::AcceptSave ? OvText(35234, u"&Save") : OvText(35235, u"&Open"));
    dialog->setLabelText(QFileDialog::Reject, OvText(35236, u"Cancel"));
    return dialog;
}

QString ChosenFile(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

QStringList HostListFilters() {
    return {OvText(35225, u"Host lists (*.txt *.hosts)"), OvText(35226, u"All files (*)")};
}

// The local file a drop carries, or "".
QString DroppedFile(const QMimeData& data) {
    for (const QUrl& url : data.urls()) {
        if (url.isLocalFile()) {
            return url.toLocalFile();
        }
    }
    return {};
}

}  // namespace

// A file command's menu item: its texts, what it runs and when it is enabled.
struct CFileCommands::Command {
    unsigned id;
    unsigned textId;
    const char16_t* english;
    unsigned promptId;
    const char16_t* prompt;
    void (CFileCommands::*run)();
    bool (CFileCommands::*enabled)() const;
};

const CFileCommands::Command CFileCommands::kCommands[kCommandCount] = {
    {ID_OPEN_HOST_LIST, 35200, u"&Open Host List...", 35210, u"Put the hosts of a host list file into the host entry",
     &CFileCommands::OnOpenHostList, &CFileCommands::Idle},
    {ID_SAVE_HOST_LIST, 35201, u"Sa&ve Host List...", 35211, u"Save the hosts of the host entry in a host list file",
     &CFileCommands::OnSaveHostList, &CFileCommands::EntryHasHosts},
    {ID_EXPORT_RESULTS, 35202, u"&Export Results...", 35212,
     u"Save the statistics and events of the run in a CSV or JSON file", &CFileCommands::OnExportResults,
     &CFileCommands::HasResults},
};

CFileCommands::CFileCommands(QMainWindow& window, COvPingDoc& doc, IFrameApp* app, COvHistoryComboBox& entry,
                             const std::u16string& profileKey)
    : QObject(&window), m_window(window), m_doc(doc), m_app(app), m_entry(entry), m_profile(profileKey) {
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        const Command& c = kCommands[i];
        m_commands[i] = OvAddCommand(&window, c.id, OvText(c.textId, c.english));
        m_commands[i]->setStatusTip(OvText(c.promptId, c.prompt));
        const unsigned id = c.id;
        connect(m_commands[i], &QAction::triggered, this, [this, id] { Run(id); });
    }
    for (int i = 0; i < kRecentCount; ++i) {
        const QString path = ToQString(m_profile.GetString(kRecentSection, RecentEntry(i)));
        if (!path.isEmpty() && !m_recent.contains(path)) {
            m_recent.push_back(path);
        }
        m_recentItems[i] = OvAddCommand(&window, ID_RECENT_HOST_LIST[i], QString());
        m_recentItems[i]->setStatusTip(OvText(35213, u"Open this host list file again"));
        const unsigned id = ID_RECENT_HOST_LIST[i];
        connect(m_recentItems[i], &QAction::triggered, this, [this, id] { Run(id); });
    }
    m_window.setAcceptDrops(true);
    m_window.installEventFilter(this);
    m_entry.lineEdit()->installEventFilter(this);
    m_doc.AddView(this);
    UpdateItems();
}

CFileCommands::~CFileCommands() {
    m_doc.RemoveView(this);
}

void CFileCommands::AddToMenu(QMenu& menu, QAction* before) {
    for (QAction* command : m_commands) {
        menu.insertAction(before, command);
    }
    menu.insertSeparator(before);
    for (QAction* item : m_recentItems) {
        menu.insertAction(before, item);
    }
    QAction* separator = menu.insertSeparator(before);
    // The separator after the recent files shows only with them.
    connect(&menu, &QMenu::aboutToShow, this, [this, separator] {
        UpdateItems();
        separator->setVisible(!m_recent.isEmpty());
    });
}

bool CFileCommands::Owns(unsigned id) noexcept {
    for (const Command& c : kCommands) {
        if (c.id == id) {
            return true;
        }
    }
    return std::find(ID_RECENT_HOST_LIST.begin(), ID_RECENT_HOST_LIST.end(), id) != ID_RECENT_HOST_LIST.end();
}

void CFileCommands::UpdateItems() {
    const bool running = m_doc.IsRunning();
    for (std::size_t i = 0; i < kCommandCount; ++i) {
        m_commands[i]->setEnabled((this->*kCommands[i].enabled)());
    }
    for (int i = 0; i < kRecentCount; ++i) {
        QAction* item = m_recentItems[i];
        const bool shown = i < m_recent.size();
        item->setVisible(shown);
        item->setEnabled(shown && !running);
        if (shown) {
            QString path = m_recent[i];
            path.replace(QLatin1Char('&'), QStringLiteral("&&"));
            const std::u16string escaped = ov::EscapeControls(path.toStdU16String());
            item->setText(QString::fromUtf16(LoadFormatString(35203, u"&%d_a% %s_b%", i + 1, escaped.c_str())));
        }
    }
}

bool CFileCommands::Idle() const {
    return !m_doc.IsRunning();
}

bool CFileCommands::EntryHasHosts() const {
    return !HostsOfEntryText(m_entry.currentText().toStdU16String()).empty();
}

bool CFileCommands::HasResults() const {
    return m_doc.GetHostCount() != 0 && m_app != nullptr;
}

bool CFileCommands::Run(unsigned id) {
    for (const Command& c : kCommands) {
        if (c.id == id) {
            (this->*c.run)();
            return true;
        }
    }
    for (int i = 0; i < kRecentCount; ++i) {
        if (id == ID_RECENT_HOST_LIST[i]) {
            if (i < m_recent.size() && !m_doc.IsRunning()) {
                OpenHostList(m_recent[i]);
            }
            return true;
        }
    }
    return false;
}

void CFileCommands::OnOpenHostList() {
    if (m_doc.IsRunning()) {
        return;
    }
    const auto dialog = NewFileDialog(&m_window, OvText(35220, u"Open Host List"), QFileDialog::AcceptOpen);
    dialog->setNameFilters(HostListFilters());
    const QString path = ChosenFile(*dialog);
    if (!path.isEmpty()) {
        OpenHostList(path);
    }
}

void CFileCommands::OnSaveHostList() {
    const auto dialog = NewFileDialog(&m_window, OvText(35221, u"Save Host List"), QFileDialog::AcceptSave);
    dialog->setNameFilters(HostListFilters());
    dialog->setDefaultSuffix(QStringLiteral("txt"));
    dialog->selectFile(QStringLiteral("hosts.txt"));
    const QString path = ChosenFile(*dialog);
    if (!path.isEmpty()) {
        SaveHostList(path);
    }
}

void CFileCommands::OnExportResults() {
    if (m_doc.GetHostCount() == 0) {
        return;
    }
    const auto dialog = NewExportDialog();
    const QString path = ChosenFile(*dialog);
    if (!path.isEmpty()) {
        ExportResults(path, KindOfFilter(*dialog));
    }
}

std::unique_ptr<QFileDialog> CFileCommands::NewExportDialog() const {
    auto dialog = NewFileDialog(&m_window, OvText(35222, u"Export Results"), QFileDialog::AcceptSave);
    QStringList filters;
    for (const ExportFilter& filter : kExportFilters) {
        filters.push_back(OvText(filter.textId, filter.english));
    }
    dialog->setNameFilters(filters);
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    dialog->selectFile(QStringLiteral("results.csv"));
    QFileDialog* shown = dialog.get();
    // The suffix, also of the name typed so far, follows the chosen format.
    connect(shown, &QFileDialog::filterSelected, shown, [shown](const QString&) {
        const auto kind = static_cast<std::size_t>(KindOfFilter(*shown));
        const QString suffix = QString::fromLatin1(kExportFilters[kind].suffix);
        shown->setDefaultSuffix(suffix);
        const QStringList chosen = shown->selectedFiles();
        if (chosen.size() == 1 && !QFileInfo(chosen.front()).isDir() &&
            !QFileInfo(chosen.front()).completeBaseName().isEmpty()) {
            shown->selectFile(QFileInfo(chosen.front()).completeBaseName() + QLatin1Char('.') + suffix);
        }
    });
    return dialog;
}

ResultFile CFileCommands::KindOfFilter(const QFileDialog& dialog) {
    const int index = static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
    return index > 0 ? static_cast<ResultFile>(index) : ResultFile::Csv;
}

bool CFileCommands::TakeHostList(const HostList& list, const QString& shownName) {
    if (!list.Ok()) {
        Show(QMessageBox::Warning, ToQString(HostListProblemText(list, shownName.toStdU16String())));
        return false;
    }
    const QString text = ToQString(list.EntryText());
    m_entry.AddToHistory(text);
    m_entry.setEditText(text);
    return true;
}

bool CFileCommands::OpenHostList(const QString& path) {
    if (m_doc.IsRunning()) {
        return false;
    }
    const HostList list = ReadHostListFile(path.toStdString());
    if (list.problem == HostListProblem::Missing && m_recent.removeAll(path) != 0) {
        SaveRecent();
    }
    if (!TakeHostList(list, path)) {
        return false;
    }
    RememberHostList(path);
    return true;
}

bool CFileCommands::TakeHostListText(const QString& text) {
    if (m_doc.IsRunning()) {
        return false;
    }
    return TakeHostList(ParseHostList(text.toStdString()), OvText(35253, u"the dropped text"));
}

bool CFileCommands::SaveHostList(const QString& path) {
    const std::vector<std::u16string> hosts = HostsOfEntryText(m_entry.currentText().toStdU16String());
    if (const int error = WriteHostListFile(path.toStdString(), hosts); error != 0) {
        Show(QMessageBox::Warning,
             Format(35250, u"The host list could not be saved in \"%s_a%\": %s_b%", path, Reason(error)));
        return false;
    }
    RememberHostList(path);
    return true;
}

bool CFileCommands::ExportResults(const QString& path, ResultFile kind) {
    const int error = m_app != nullptr ? m_app->WriteResults(m_doc, kind, path.toStdString()) : ENOSYS;
    if (error != 0) {
        Show(QMessageBox::Warning, Format(35251,
                                          u"The results could not be written to \"%s_a%\": %s_b%\n"
                                          u"Any earlier file of that name is left as it was.",
                                          path, Reason(error)));
        return false;
    }
    m_window.statusBar()->showMessage(Format(35252, u"Results written to \"%s_a%\".", path), 5000);
    return true;
}

void CFileCommands::RememberHostList(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_recent.removeAll(absolute);
    m_recent.push_front(absolute);
    while (m_recent.size() > kRecentCount) {
        m_recent.pop_back();
    }
    SaveRecent();
    UpdateItems();
}

void CFileCommands::SaveRecent() {
    // Failures show when the window closes and the history is saved.
    m_profile.DeleteSection(kRecentSection);
    for (int i = 0; i < m_recent.size(); ++i) {
        m_profile.WriteString(kRecentSection, RecentEntry(i), m_recent[i].toStdU16String());
    }
}

void CFileCommands::WriteResultsWhenRunEnds(const std::string& path) {
    m_autoExportPath = path;
    m_autoExportDue = m_doc.GetHostCount() != 0;
}

bool CFileCommands::WriteAutoExport(bool closing) {
    m_autoExportDue = false;
    const QString path = QString::fromStdString(m_autoExportPath);
    const bool json = path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive);
    const int error = m_app != nullptr
                          ? m_app->WriteResults(m_doc, json ? ResultFile::JsonEverything : ResultFile::CsvEverything,
                                                m_autoExportPath)
                          : ENOSYS;
    if (error == 0) {
        return true;
    }
    const QString text = Format(35251,
                                u"The results could not be written to \"%s_a%\": %s_b%\n"
                                u"Any earlier file of that name is left as it was.",
                                path, Reason(error));
    std::fprintf(stderr, "tapper: %s\n", text.toLocal8Bit().constData());
    // Once the window goes, stderr is the only place left to say it.
    if (!closing) {
        Show(QMessageBox::Warning, text);
    }
    return false;
}

void CFileCommands::WindowClosing() {
    if (!m_autoExportPath.empty() && (m_autoExportDue || m_doc.IsRunning())) {
        WriteAutoExport(true);
    }
}

void CFileCommands::OnUpdate(UINT hint) {
    if (m_autoExportPath.empty()) {
        return;
    }
    if (hint == HINT_RUN_STARTED) {
        m_autoExportDue = true;
    } else if (hint == HINT_RUN_STOPPED && m_autoExportDue) {
        // After the views took the stop, outside the document's notification.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_autoExportDue && !m_doc.IsRunning()) {
                    WriteAutoExport(false);
                }
            },
            Qt::QueuedConnection);
    }
}

bool CFileCommands::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return QObject::eventFilter(watched, event);
    }
    auto* drop = static_cast<QDropEvent*>(event);
    const QMimeData* data = drop->mimeData();
    const bool usable = data != nullptr && !m_doc.IsRunning() && (!DroppedFile(*data).isEmpty() || data->hasText());
    if (!usable) {
        drop->ignore();
        return type == QEvent::Drop;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        const QString file = DroppedFile(*data);
        if (!file.isEmpty()) {
            OpenHostList(file);
        } else {
            TakeHostListText(data->text());
        }
    }
    return true;
}

void CFileCommands::Show(QMessageBox::Icon icon, const QString& text) const {
    if (m_message) {
        m_message(icon, text);
        return;
    }
    QMessageBox box(icon, m_app != nullptr ? m_app->ApplicationTitle() : QString(), text, QMessageBox::Ok, &m_window);
    box.button(QMessageBox::Ok)->setText(OvText(34507, u"OK"));
    box.exec();
}

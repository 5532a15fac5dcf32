#include "ovupdate/OvUpdate.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrlQuery>

#include "QtText.h"

namespace {

const char16_t* Wide(const QString& text) {
    return reinterpret_cast<const char16_t*>(text.utf16());
}

std::u16string_view View(const QString& text) {
    return {Wide(text), static_cast<std::size_t>(text.size())};
}

// The dialog's informative label guesses its format, so markup from the
// server would be laid out, linked and its pictures read from disk. The
// label is made with a placeholder and switched to plain text before the
// server's text goes in.
void SetPlainInformativeText(QMessageBox& box, const QString& text) {
    box.setInformativeText(QStringLiteral("-"));
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        label->setOpenExternalLinks(false);
    }
    box.setInformativeText(text);
}

}  // namespace

COvUpdate::COvUpdate(const QString& title, const QString& version, const QString& address, QObject* parent)
    : QObject(parent), m_title(title), m_version(version), m_address(address), m_memory(View(title)) {
    connect(&m_fetch, &COvHttpFetch::finished, this, &COvUpdate::OnFetched);
}

COvUpdate::~COvUpdate() {
    m_fetch.Cancel();
    if (QMessageBox* dialog = m_dialog.data()) {
        dialog->deleteLater();
    }
}

int COvUpdate::DoUpdate(QWidget* owner, int mode, const QString& text) {
    if (m_fetch.IsRunning()) {
        // The user's request wins over a quiet automatic check.
        if (mode == 0) {
            m_mode = 0;
            m_owner = owner;
            m_caption = text;
        }
        return 1;
    }
    m_mode = mode == 0 ? 0 : 1;
    m_owner = owner;
    m_caption = text;

    QUrl url(m_address);
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("product"), m_title);
    query.addQueryItem(QStringLiteral("version"), m_version);
    url.setQuery(query);
    if (!m_fetch.Start(url, static_cast<qint64>(kMaxUpdateAnswerBytes))) {
        Fail(FETCH_BAD_ADDRESS, FetchFailureText(FETCH_BAD_ADDRESS));
        return 0;
    }
    return 1;
}

void COvUpdate::OnFetched(int status, const QByteArray& body, const QUrl&) {
    if (status != FETCH_OK) {
        Fail(status, FetchFailureText(status));
        return;
    }
    OV_UPDATE_ANSWER answer;
    const OV_ANSWER_RESULT result = ParseUpdateAnswer(
        std::string_view(body.constData(), static_cast<std::size_t>(body.size())), View(m_title), answer);
    int order = 0;
    if (result != ANSWER_OK || !CompareVersions(answer.version, View(m_version), order)) {
        Fail(result == ANSWER_OK ? ANSWER_BAD_VERSION : result, OvText(34517, u"The answer could not be read."));
        return;
    }
    m_memory.SetLastCheck(QDateTime::currentSecsSinceEpoch());
    if (order <= 0) {
        Finish(UPDATE_CURRENT, result, answer);
    } else if (m_memory.SkippedVersion() == answer.version) {
        Finish(UPDATE_SKIPPED, result, answer);
    } else {
        Finish(UPDATE_NEWER, result, answer);
    }
}

void COvUpdate::Finish(int outcome, int detail, const OV_UPDATE_ANSWER& answer) {
    const bool asked = m_mode == 0;
    switch (outcome) {
        case UPDATE_NEWER:
            ShowNewer(answer);
            break;
        case UPDATE_SKIPPED:
            if (asked) {
                ShowNewer(answer);
            }
            break;
        case UPDATE_CURRENT:
            if (asked) {
                ShowText(OvText(34502, u"%s_a% %s_b% is the latest version.", Wide(m_title), Wide(m_version)), false);
            }
            break;
        default:
            break;
    }
    emit checkFinished(outcome, detail);
}

void COvUpdate::Fail(int detail, const QString& reason) {
    // An automatic check keeps its failures to itself.
    if (m_mode == 0) {
        ShowText(OvText(34503, u"Could not check for a newer version of %s_a%.\n%s_b%", Wide(m_title), Wide(reason)),
                 true);
    }
    emit checkFinished(UPDATE_FAILED, detail);
}

QString COvUpdate::Caption() const {
    return m_caption.isEmpty() ? OvText(34500, u"%s_a% Update", Wide(m_title)) : m_caption;
}

QMessageBox* COvUpdate::NewDialog(const QString& text, bool warning) {
    if (QMessageBox* old = m_dialog.data()) {
        old->close();
    }
    auto* box = new QMessageBox(m_owner.data());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setIcon(warning ? QMessageBox::Warning : QMessageBox::Information);
    box->setWindowTitle(Caption());
    // Texts from the server are shown as they are, never as markup.
    box->setTextFormat(Qt::PlainText);
    box->setText(text);
    m_dialog = box;
    return box;
}

void COvUpdate::ShowText(const QString& text, bool failure) {
    QMessageBox* box = NewDialog(text, failure);
    box->addButton(OvText(34507, u"OK"), QMessageBox::AcceptRole);
    // open() returns at once: no nested event loop while the dialog is up.
    box->open();
}

void COvUpdate::ShowNewer(const OV_UPDATE_ANSWER& answer) {
    const QString latest = ToQString(answer.version);
    QMessageBox* box = NewDialog(
        OvText(34501, u"Version %s_a% of %s_b% is available; this is version %s_c%.\nOpen the download page now?",
               Wide(latest), Wide(m_title), Wide(m_version)),
        false);
    if (!answer.notes.empty()) {
        SetPlainInformativeText(*box, ToQString(answer.notes));
    }
    QPushButton* download = box->addButton(OvText(34504, u"&Download"), QMessageBox::AcceptRole);
    QPushButton* skip = box->addButton(OvText(34505, u"&Skip This Version"), QMessageBox::DestructiveRole);
    box->addButton(OvText(34506, u"&Later"), QMessageBox::RejectRole);
    box->setDefaultButton(download);
    const QUrl page(ToQString(answer.download));
    // The choice is carried out even when the updater is gone by then.
    connect(box, &QMessageBox::buttonClicked, box,
            [download, skip, page, memory = m_memory, version = answer.version](QAbstractButton* button) mutable {
                if (button == download) {
                    QDesktopServices::openUrl(page);
                } else if (button == skip) {
                    memory.SetSkippedVersion(version);
                }
            });
    box->open();
}

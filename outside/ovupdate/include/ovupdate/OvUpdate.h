#pragma once
// The updater: asks the update server for the latest version of the product
// (see UpdateAnswer.h for the exchange) without ever blocking the caller, and
// reports in a dialog. Mode 0 (the user asked) reports every result; mode 1
// (automatic) speaks only of a newer version that the user has not skipped.
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

#include "HttpFetch.h"
#include "ovupdate/UpdateAnswer.h"
#include "ovupdate/UpdateMemory.h"

class QWidget;

// How a check ended (signal checkFinished).
enum OV_UPDATE_OUTCOME : int {
    UPDATE_NEWER = 1,    // a newer version exists; the dialog offers its download page
    UPDATE_CURRENT = 2,  // this is the latest version (or a later one)
    UPDATE_SKIPPED = 3,  // newer, but the user skipped that version (automatic check: silent)
    UPDATE_FAILED = 4,   // no usable answer
};

class COvUpdate : public QObject {
    Q_OBJECT
public:
    // title: the product's name, also its key in the updater's memory;
    // version: the running version; address: the update server's address.
    COvUpdate(const QString& title, const QString& version, const QString& address, QObject* parent = nullptr);
    ~COvUpdate() override;

    // Starts a check and returns at once; the report follows when the answer
    // is in. owner is the dialogs' parent (may be null); mode 0 when the user
    // asked, 1 when automatic; a non-empty text replaces the dialogs' caption.
    // While a check runs, another request only raises it to mode 0 if asked
    // so. Returns 1 when a check runs, 0 when the address is not usable.
    int DoUpdate(QWidget* owner, int mode, const QString& text);

    bool IsChecking() const noexcept { return m_fetch.IsRunning(); }
    // The dialog of the last report while it is open (tests, shutdown).
    QMessageBox* Dialog() const { return m_dialog.data(); }
    // Deadline of later checks, in milliseconds (15 s by default).
    void SetTimeout(int ms) noexcept { m_fetch.SetTimeout(ms); }
    CUpdateMemory& Memory() noexcept { return m_memory; }

signals:
    // A check ended; detail is the fetch status (OV_FETCH_STATUS or HTTP) for
    // a failed fetch, else the OV_ANSWER_RESULT of the answer.
    void checkFinished(int outcome, int detail);

private:
    void OnFetched(int status, const QByteArray& body, const QUrl& finalUrl);
    // Reports a usable answer (newer, current or skipped).
    void Finish(int outcome, int detail, const OV_UPDATE_ANSWER& answer);
    // Reports a failed check with the reason the user reads.
    void Fail(int detail, const QString& reason);
    void ShowNewer(const OV_UPDATE_ANSWER& answer);
    void ShowText(const QString& text, bool failure);
    QMessageBox* NewDialog(const QString& text, bool warning);
    QString Caption() const;

    QString m_title;
    QString m_version;
    QString m_address;
    QString m_caption;
    int m_mode = 1;
    QPointer<QWidget> m_owner;
    QPointer<QMessageBox> m_dialog;
    COvHttpFetch m_fetch;
    CUpdateMemory m_memory;
};

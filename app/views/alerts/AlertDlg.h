#pragma once
// The modal "Alerts" dialog: after how many failed requests a host counts as
// down and after how many replies as up again, the slow threshold, and
// whether to notify, play a sound and stay in the tray. OK saves the choices
// to the profile.
#include <QDialog>

#include "AlertSettings.h"

class QCheckBox;
class QSpinBox;

class CAlertDlg : public QDialog {
    Q_OBJECT

public:
    // The help command (ID_HELP) that the Help button and F1 send.
    static constexpr unsigned kHelpCommand = 57670;

    // Shows settings; OK stores the edited ones in profile.
    CAlertDlg(const ALERT_SETTINGS& settings, CProfile profile, QWidget* parent = nullptr);

    // The choices as the controls show them.
    ALERT_SETTINGS Settings() const;
    // False after OK when the choices could not be saved.
    bool Saved() const noexcept { return m_saved; }

    QSpinBox* DownAfter() const noexcept { return m_downAfter; }
    QSpinBox* UpAfter() const noexcept { return m_upAfter; }
    QSpinBox* SlowMs() const noexcept { return m_slowMs; }
    QCheckBox* Notify() const noexcept { return m_notify; }
    QCheckBox* Sound() const noexcept { return m_sound; }
    QCheckBox* KeepInTray() const noexcept { return m_keepInTray; }

signals:
    // The Help button or F1 asks the application for help on this dialog.
    void helpRequested(unsigned int commandId);

public slots:
    void accept() override;

private:
    CProfile m_profile;
    bool m_saved = true;
    QSpinBox* m_downAfter = nullptr;
    QSpinBox* m_upAfter = nullptr;
    QSpinBox* m_slowMs = nullptr;
    QCheckBox* m_notify = nullptr;
    QCheckBox* m_sound = nullptr;
    QCheckBox* m_keepInTray = nullptr;
};

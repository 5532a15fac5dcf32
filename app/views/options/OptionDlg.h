#pragma once
// The modal "Options" dialog: six sliders for the packet size, time-to-live,
// timeout, delay between requests, name-resolution attempts and the views'
// poll interval. OK stores the values in the document, saves them to the
// profile and pushes them to the running hosts.
#include <array>

#include <QDialog>

#include "PingProfile.h"
#include "ViewIds.h"
#include "platform/wintypes.h"

class COvPingDoc;
class QGridLayout;
class QLabel;
class QLayout;
class QPushButton;
class QSlider;

class COptionDlg : public QDialog {
    Q_OBJECT

public:
    // The help command that the Help button and F1 send.
    static constexpr UINT kHelpCommand = ID_HELP;
    // The rows from top to bottom.
    enum Row { RowSize, RowTtl, RowTimeOut, RowDelay, RowProbe, RowPollTime, RowCount };

    // A dialog over doc (may be null: then nothing is set up and OK only
    // closes); OK saves to profile.
    explicit COptionDlg(COvPingDoc* doc, CProfile profile = CProfile(), QWidget* parent = nullptr);

    // The slider and the value label of a row.
    QSlider* Slider(Row row) const noexcept { return m_sliders[row]; }
    QLabel* ValueLabel(Row row) const noexcept { return m_values[row]; }
    // False after OK when the settings could not be saved (they hold for
    // this run only).
    bool Saved() const noexcept { return m_saved; }

signals:
    // The Help button or F1 asks the application for help on this dialog.
    void helpRequested(unsigned int commandId);

public slots:
    // Stores the slider values in the document, saves and applies them, closes.
    void accept() override;

private:
    void BuildControls();
    // The slider rows in a grid, one row at a time.
    QLayout* BuildRows();
    void AddRow(QGridLayout& grid, int r);
    // Load Default, OK, Cancel and Help.
    QLayout* BuildButtonRow();
    void InitFromDocument();
    void OnLoadDefault();
    void UpdateValueLabels();

    COvPingDoc* m_doc;
    CProfile m_profile;
    bool m_saved = true;
    std::array<QSlider*, RowCount> m_sliders{};
    std::array<QLabel*, RowCount> m_values{};
};

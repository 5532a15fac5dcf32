#pragma once
// The About box (dialog 100): the program's logo, title, version and build,
// and its licence.
#include <QDialog>

class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    // title: the program's translated title; version: "major.minor.x.build".
    CAboutDlg(const QString& title, const QString& version, QWidget* parent = nullptr);

    // Dialog item 1008: the version line.
    QLabel* VersionLabel() const noexcept { return m_version; }

    // "1.1.1.265" gives "1.1" (before the second ".") and "265" (after the last ".").
    static QString VersionPart(const QString& version);
    static QString BuildPart(const QString& version);

private:
    QLabel* m_version;
};

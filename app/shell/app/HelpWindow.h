#pragma once
// The help window: one language's help book (a folder of HTML pages) in a
// QTextBrowser with Contents, Back and Forward.
#include <QString>
#include <QWidget>

class QTextBrowser;
class QToolButton;

class CHelpWindow : public QWidget {
    Q_OBJECT
public:
    // folder: the help book, ending with "/"; title: the program's title.
    CHelpWindow(const QString& folder, const QString& title, QWidget* parent = nullptr);

    // Shows page (a file name inside the book; the contents when it is
    // missing) and brings the window up.
    void ShowPage(const QString& page);
    // The contents page.
    void ShowContents();

    QTextBrowser* Browser() const noexcept { return m_browser; }
    // The file shown, without its folder.
    QString CurrentPage() const;

private:
    QString m_folder;
    QTextBrowser* m_browser;
    QToolButton* m_back;
    QToolButton* m_forward;
};

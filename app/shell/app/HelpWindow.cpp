#include "HelpWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

#include "QtText.h"
#include "OnlineAddress.h"

namespace {

QToolButton* NewButton(const QString& text, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    button->setAutoRaise(true);
    return button;
}

}  // namespace

CHelpWindow::CHelpWindow(const QString& folder, const QString& title, QWidget* parent)
    : QWidget(parent, Qt::Window), m_folder(folder), m_browser(new QTextBrowser(this)) {
    // The program ends with its main window, whether help is open or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(OvText(34400, u"%s_a% Help", title.toStdU16String()));
    auto* contents = NewButton(OvText(34401, u"&Contents"), this);
    m_back = NewButton(OvText(34402, u"&Back"), this);
    m_forward = NewButton(OvText(34403, u"&Forward"), this);
    m_back->setEnabled(false);
    m_forward->setEnabled(false);

    auto* bar = new QHBoxLayout;
    bar->addWidget(contents);
    bar->addWidget(m_back);
    bar->addWidget(m_forward);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_browser, 1);

    // Pages of the book open here; addresses on the web in the user's browser.
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({folder});
    connect(contents, &QToolButton::clicked, this, &CHelpWindow::ShowContents);
    connect(m_back, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QToolButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QToolButton::setEnabled);
    resize(760, 560);
}

void CHelpWindow::ShowPage(const QString& page) {
    // Contexts name a page with or without its ".html" ("options", "loglist.html").
    QString file = m_folder + page;
    if (!page.isEmpty() && QFileInfo(page).suffix().isEmpty()) {
        file += QStringLiteral(".html");
    }
    if (page.isEmpty() || !QFileInfo(file).isFile()) {
        file = m_folder + QString::fromStdU16String(kHelpContents);
    }
    m_browser->setSource(QUrl::fromLocalFile(file));
    show();
    raise();
    activateWindow();
}

void CHelpWindow::ShowContents() {
    ShowPage(QString::fromStdU16String(kHelpContents));
}

QString CHelpWindow::CurrentPage() const {
    return QFileInfo(m_browser->source().toLocalFile()).fileName();
}

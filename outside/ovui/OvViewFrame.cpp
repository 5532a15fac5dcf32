#include "ovui/OvViewFrame.h"

#include <QAction>
#include <QEvent>
#include <QToolBar>

#include "ovui/OvCommand.h"

namespace {

constexpr int kIconSize = 16;

}  // namespace

COvViewFrame::COvViewFrame(QWidget* parent) : QMainWindow(parent, Qt::Widget) {
    setContextMenuPolicy(Qt::NoContextMenu);
}

COvViewFrame::~COvViewFrame() = default;

bool COvViewFrame::Create(QWidget* view, const QString& title, std::span<const unsigned> buttons) {
    if (view == nullptr) {
        return false;
    }
    if (m_view != nullptr) {
        // Taken over all the same, so that it dies with the frame.
        view->hide();
        view->setParent(this);
        return false;
    }
    m_view = view;
    setCentralWidget(view);
    view->installEventFilter(this);

    auto* bar = new QToolBar(title, this);
    bar->setObjectName(QStringLiteral("ovViewFrameBar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setAllowedAreas(Qt::TopToolBarArea);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->setIconSize(QSize(kIconSize, kIconSize));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    bar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, bar);
    m_toolBar = bar;

    for (const unsigned id : buttons) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        if (QWidget* control = OnCreateControl(id, bar)) {
            bar->addWidget(control);
            continue;
        }
        QAction* command = OvFindCommand(view, id);
        if (command == nullptr) {
            return false;
        }
        bar->addAction(command);
    }
    return true;
}

void COvViewFrame::ActivateView() {
    if (m_view != nullptr) {
        emit viewActivated(m_view);
    }
}

QWidget* COvViewFrame::OnCreateControl(unsigned, QToolBar*) {
    return nullptr;
}

bool COvViewFrame::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view && event->type() == QEvent::FocusIn) {
        ActivateView();
    }
    return QMainWindow::eventFilter(watched, event);
}

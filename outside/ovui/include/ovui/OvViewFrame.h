#pragma once
// A child frame holding exactly one view under one toolbar at the top. The
// toolbar has a title, no gripper, cannot be moved, floated or customised and
// has no context menu.
//
// Use: derive a frame, create its view, then call Create(view, title,
// buttons). The buttons are command ids, 0 for a separator; each id names a
// command of the view (OvAddCommand) or a control that the frame makes itself
// in OnCreateControl. A frame whose Create failed must not be shown; throw it
// away. When the view gets the keyboard focus the frame emits viewActivated,
// which the main window uses to route its menus and keys to that view;
// ActivateView emits it for views that activate on other events.
#include <span>

#include <QMainWindow>
#include <QString>

class QToolBar;

class COvViewFrame : public QMainWindow {
    Q_OBJECT

public:
    explicit COvViewFrame(QWidget* parent = nullptr);
    ~COvViewFrame() override;

    // Makes view (taken over) the frame's only view, then adds the toolbar
    // titled title with buttons. False, and the frame is unusable, when view
    // is null, the frame has a view already, or a button names neither a
    // command of the view nor a control from OnCreateControl.
    bool Create(QWidget* view, const QString& title, std::span<const unsigned> buttons);

    QWidget* GetView() const noexcept { return m_view; }
    QToolBar* GetToolBar() const noexcept { return m_toolBar; }
    // Emits viewActivated for the view.
    void ActivateView();

    // The frame has no toolbar menu of its own.
    QMenu* createPopupMenu() override { return nullptr; }

signals:
    // The view became the active view (it got the keyboard focus).
    void viewActivated(QWidget* view);

protected:
    // A control of the frame's own for a button id, parented to bar; null
    // lets the frame use the view's command of that id.
    virtual QWidget* OnCreateControl(unsigned id, QToolBar* bar);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_view = nullptr;
    QToolBar* m_toolBar = nullptr;
};

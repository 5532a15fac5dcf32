#include "ovui/OvCommand.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace {

// Command ids ride in the action's data under this property, so that an
// action's own data stays free for its owner.
constexpr char kIdProperty[] = "ovCommandId";

OvPopupMenuHook& PopupHook() {
    static OvPopupMenuHook hook;
    return hook;
}

}  // namespace

QAction* OvAddCommand(QWidget* owner, unsigned id, const QString& text) {
    auto* action = new QAction(text, owner);
    action->setProperty(kIdProperty, id);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    owner->addAction(action);
    return action;
}

unsigned OvCommandId(const QAction* action) noexcept {
    if (action == nullptr) {
        return 0;
    }
    const QVariant id = action->property(kIdProperty);
    return id.isValid() ? id.toUInt() : 0;
}

QAction* OvFindCommand(const QWidget* owner, unsigned id) noexcept {
    if (owner == nullptr || id == 0) {
        return nullptr;
    }
    const auto actions = owner->actions();
    for (QAction* action : actions) {
        if (OvCommandId(action) == id) {
            return action;
        }
    }
    return nullptr;
}

bool OvSendCommand(QWidget* target, unsigned id) {
    QAction* command = OvFindCommand(target, id);
    if (command == nullptr || !command->isEnabled()) {
        return false;
    }
    command->trigger();
    return true;
}

QAction* OvAddMenuCommand(QMenu& menu, unsigned id, const QString& text, const QWidget* target) {
    QAction* item = menu.addAction(text);
    item->setProperty(kIdProperty, id);
    const QAction* command = OvFindCommand(target, id);
    item->setEnabled(command != nullptr && command->isEnabled());
    if (command != nullptr && command->isCheckable()) {
        item->setCheckable(true);
        item->setChecked(command->isChecked());
    }
    return item;
}

unsigned OvTrackPopupMenu(QMenu& menu, const QPoint& screenPos, QWidget* target) {
    const bool hooked = static_cast<bool>(PopupHook());
    QAction* chosen = hooked ? PopupHook()(menu, screenPos) : menu.exec(screenPos);
    const unsigned id = OvCommandId(chosen);
    if (id == 0 || !chosen->isEnabled()) {
        return 0;
    }
    // An item that is the target's own action was run by the menu already.
    if (OvFindCommand(target, id) == chosen && !hooked) {
        return id;
    }
    return OvSendCommand(target, id) ? id : 0;
}

void OvSetPopupMenuHook(OvPopupMenuHook hook) {
    PopupHook() = std::move(hook);
}

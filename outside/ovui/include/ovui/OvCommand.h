#pragma once
// Commands as QActions carrying their numeric command id, so that toolbars,
// menus and keys of any window can reach a view's command by id, and popup
// menus tracked at a screen position that send the chosen command to a target.
//
// Use: a view adds its commands with OvAddCommand(view, id, text) and connects
// their triggered() signal; it keeps check marks (setChecked) and enabled
// states (setEnabled) current itself. A frame or the main window finds them
// with OvFindCommand(view, id) and puts the same QAction into its toolbars and
// menus. A popup menu holds plain items made by OvAddMenuCommand (their own
// texts, the target's check mark and enabled state); OvTrackPopupMenu shows it
// and, for the chosen item, triggers the target's command of the same id.
#include <functional>

#include <QPoint>
#include <QString>

class QAction;
class QMenu;
class QWidget;

// Adds a command action with id and text to owner (owner keeps it); the action
// is reachable with OvFindCommand. Its shortcuts, if any, work while the
// focus is inside owner.
QAction* OvAddCommand(QWidget* owner, unsigned id, const QString& text);
// The command id an action carries; 0 for an action that is not a command.
unsigned OvCommandId(const QAction* action) noexcept;
// The command of owner with id; null when owner has none.
QAction* OvFindCommand(const QWidget* owner, unsigned id) noexcept;
// Runs the command id of target when it exists and is enabled; false otherwise.
bool OvSendCommand(QWidget* target, unsigned id);

// Appends an item for command id with text to menu; it shows the check mark
// and enabled state of target's command of that id (disabled when target has
// none).
QAction* OvAddMenuCommand(QMenu& menu, unsigned id, const QString& text, const QWidget* target);
// Shows menu at screenPos until the user chooses or dismisses it; a chosen
// item sends its command id to target. Returns the chosen id, 0 for none.
unsigned OvTrackPopupMenu(QMenu& menu, const QPoint& screenPos, QWidget* target);

// Replaces the interactive part of OvTrackPopupMenu: hook gets the menu and the
// position and returns the chosen action (or null). Tests use it to look at
// menus and choose from them; an empty function restores the default.
using OvPopupMenuHook = std::function<QAction*(QMenu& menu, const QPoint& screenPos)>;
void OvSetPopupMenuHook(OvPopupMenuHook hook);

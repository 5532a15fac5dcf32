#pragma once
// The keyboard's lock states (Caps, Num, Scroll Lock) where the platform
// tells them: on X11 through the XKB indicators; elsewhere unknown.
#include <optional>

struct OvLockStates {
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The current lock states; nothing when the platform does not tell them.
std::optional<OvLockStates> QueryLockStates();

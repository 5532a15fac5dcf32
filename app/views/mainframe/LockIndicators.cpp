#include "LockIndicators.h"

#include <QGuiApplication>

#ifdef OV_HAVE_XKB
#include <X11/XKBlib.h>
#endif

std::optional<OvLockStates> QueryLockStates() {
#ifdef OV_HAVE_XKB
    auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    Display* display = x11 == nullptr ? nullptr : x11->display();
    if (display == nullptr) {
        return std::nullopt;
    }
    // Indicators are looked up by name: their positions differ between keymaps.
    auto on = [display](const char* name) {
        Bool state = False;
        const Atom atom = XInternAtom(display, name, True);
        return atom != None && XkbGetNamedIndicator(display, atom, nullptr, &state, nullptr, nullptr) && state == True;
    };
    return OvLockStates{on("Caps Lock"), on("Num Lock"), on("Scroll Lock")};
#else
    return std::nullopt;
#endif
}

#pragma once
// The user's alert choices: when a host counts as down, up again or slow, and
// how the window tells: desktop notifications, the event sound, and whether
// closing the window during a run leaves the program in the tray. Kept in the
// profile below "Settings\Alerts".
#include "HostState.h"
#include "PingProfile.h"

struct ALERT_SETTINGS {
    AlertThresholds thresholds;
    bool notify = true;       // desktop notifications
    bool sound = false;       // the desktop's event sounds
    bool keepInTray = false;  // closing during a run hides the window to the tray
    bool operator==(const ALERT_SETTINGS& other) const noexcept;
};

// Ranges the dialog offers and the profile is clamped to.
inline constexpr unsigned kMinAlertCount = 1;
inline constexpr unsigned kMaxAlertCount = 100;
inline constexpr unsigned kMaxSlowMs = 60000;

// Section of the profile that holds the alert entries.
inline constexpr char16_t kAlertSection[] = u"Settings\\Alerts";

// The stored choices; defaults for missing entries, values out of range clamped.
ALERT_SETTINGS LoadAlertSettings(const CProfile& profile);
// Stores every choice; false when one could not be written.
bool SaveAlertSettings(CProfile& profile, const ALERT_SETTINGS& settings);

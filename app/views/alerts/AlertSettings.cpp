#include "AlertSettings.h"

#include <algorithm>

namespace {

constexpr char16_t kDownAfter[] = u"DownAfter";
constexpr char16_t kUpAfter[] = u"UpAfter";
constexpr char16_t kSlowMs[] = u"SlowMs";
constexpr char16_t kNotify[] = u"Notify";
constexpr char16_t kSound[] = u"Sound";
constexpr char16_t kKeepInTray[] = u"KeepInTray";

unsigned ReadCount(const CProfile& profile, const char16_t* entry, unsigned fallback) {
    const UINT value = profile.GetProfileInt(kAlertSection, entry, static_cast<int>(fallback));
    return std::clamp<unsigned>(value, kMinAlertCount, kMaxAlertCount);
}

}  // namespace

bool ALERT_SETTINGS::operator==(const ALERT_SETTINGS& other) const noexcept {
    return thresholds.downAfter == other.thresholds.downAfter && thresholds.upAfter == other.thresholds.upAfter &&
           thresholds.slowMs == other.thresholds.slowMs && notify == other.notify && sound == other.sound &&
           keepInTray == other.keepInTray;
}

ALERT_SETTINGS LoadAlertSettings(const CProfile& profile) {
    ALERT_SETTINGS s;
    s.thresholds.downAfter = ReadCount(profile, kDownAfter, s.thresholds.downAfter);
    s.thresholds.upAfter = ReadCount(profile, kUpAfter, s.thresholds.upAfter);
    s.thresholds.slowMs = std::min<unsigned>(profile.GetProfileInt(kAlertSection, kSlowMs, 0), kMaxSlowMs);
    s.notify = profile.GetProfileInt(kAlertSection, kNotify, s.notify ? 1 : 0) != 0;
    s.sound = profile.GetProfileInt(kAlertSection, kSound, s.sound ? 1 : 0) != 0;
    s.keepInTray = profile.GetProfileInt(kAlertSection, kKeepInTray, s.keepInTray ? 1 : 0) != 0;
    return s;
}

bool SaveAlertSettings(CProfile& profile, const ALERT_SETTINGS& s) {
    // Every entry is tried, so that one failure does not keep the others back.
    bool ok = profile.WriteProfileInt(kAlertSection, kDownAfter, static_cast<int>(s.thresholds.downAfter));
    ok = profile.WriteProfileInt(kAlertSection, kUpAfter, static_cast<int>(s.thresholds.upAfter)) && ok;
    ok = profile.WriteProfileInt(kAlertSection, kSlowMs, static_cast<int>(s.thresholds.slowMs)) && ok;
    ok = profile.WriteProfileInt(kAlertSection, kNotify, s.notify ? 1 : 0) && ok;
    ok = profile.WriteProfileInt(kAlertSection, kSound, s.sound ? 1 : 0) && ok;
    ok = profile.WriteProfileInt(kAlertSection, kKeepInTray, s.keepInTray ? 1 : 0) && ok;
    return ok;
}

#include "PingSettings.h"

#include "OvPingDoc.h"

void LoadSettings(const CProfile& profile, PING_SETTINGS& settings, DWORD& pollTime) {
    settings.Size = profile.GetProfileInt(u"Ping", u"Size", 64);
    settings.TimeDelay = profile.GetProfileInt(u"Ping", u"TimeDelay", 1500);
    settings.TimeOut = profile.GetProfileInt(u"Ping", u"TimeOut", 500);
    settings.Probe = static_cast<WORD>(profile.GetProfileInt(u"Ping", u"Probe", 3));
    settings.IPOption.Flags = static_cast<BYTE>(profile.GetProfileInt(u"Icmp", u"IPFlags", 0));
    settings.IPOption.Tos = static_cast<BYTE>(profile.GetProfileInt(u"Icmp", u"IPTos", 200));
    settings.IPOption.Ttl = static_cast<BYTE>(profile.GetProfileInt(u"Icmp", u"IPTtl", 255));
    settings.IPOption.OptionsSize = 0;
    settings.IPOption.OptionsData = nullptr;
    pollTime = profile.GetProfileInt(u"Gui", u"PollTime", 500);
}

bool SaveSettings(CProfile& profile, const PING_SETTINGS& settings, DWORD pollTime) {
    // Every write is tried even after one fails; the caller may ignore the result.
    bool ok = true;
    ok &= profile.WriteProfileInt(u"Ping", u"Size", static_cast<int>(settings.Size));
    ok &= profile.WriteProfileInt(u"Ping", u"TimeDelay", static_cast<int>(settings.TimeDelay));
    ok &= profile.WriteProfileInt(u"Ping", u"TimeOut", static_cast<int>(settings.TimeOut));
    ok &= profile.WriteProfileInt(u"Ping", u"Probe", settings.Probe);
    ok &= profile.WriteProfileInt(u"Icmp", u"IPFlags", settings.IPOption.Flags);
    ok &= profile.WriteProfileInt(u"Icmp", u"IPTos", settings.IPOption.Tos);
    ok &= profile.WriteProfileInt(u"Icmp", u"IPTtl", settings.IPOption.Ttl);
    ok &= profile.WriteProfileInt(u"GUI", u"PollTime", static_cast<int>(pollTime));
    return ok;
}

void LoadSettings(const CProfile& profile, COvPingDoc& doc) {
    LoadSettings(profile, doc.Settings(), doc.PollTime());
}

bool SaveSettings(CProfile& profile, const COvPingDoc& doc) {
    return SaveSettings(profile, doc.Settings(), doc.PollTime());
}

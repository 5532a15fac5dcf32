#pragma once
// The ping settings in the profile: sections "Ping", "Icmp" and "Gui", one
// integer entry per field. Loading keeps each stored value's low bits for the
// narrow fields and applies no range check.
#include "PingProfile.h"
#include "PingTypes.h"

class COvPingDoc;

// Reads the eight entries (missing ones give their defaults) into settings and pollTime.
void LoadSettings(const CProfile& profile, PING_SETTINGS& settings, DWORD& pollTime);
// Writes the eight entries from settings and pollTime; false when any write failed.
bool SaveSettings(CProfile& profile, const PING_SETTINGS& settings, DWORD pollTime);

// LoadSettings into the document's settings and poll interval.
void LoadSettings(const CProfile& profile, COvPingDoc& doc);
// SaveSettings from the document's settings and poll interval.
bool SaveSettings(CProfile& profile, const COvPingDoc& doc);

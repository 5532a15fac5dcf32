#pragma once
// Texts of the alerts, from the message catalogue: what a notification says
// of one change or of several folded into one, the tray's tooltip, the
// statistics tree's tooltip of a down host.
#include <cstdint>

#include <QList>
#include <QString>

#include "AlertMonitor.h"

// "a.b.c.d" of an address in network byte order.
QString AlertAddressText(IPAddr address);
// "12 s", "3 min 5 s", "2 h 7 min", "1 d 4 h".
QString AlertDurationText(std::int64_t seconds);
// Whether a change is told at all: going down, and coming back from down.
bool IsToldChange(const HostTransition& change) noexcept;

// The summary and body of one notification for the changes of one fold
// (each told, in order).
struct AlertMessage {
    QString summary;
    QString body;
};
AlertMessage FormatAlertMessage(const QList<HostAlert>& alerts);

// The tray's tooltip: "2 of 40 hosts down" during a run, else the program's title.
QString TrayToolTip(bool running, unsigned down, unsigned hosts);
// A down host's tooltip in the statistics tree: since when, in local time.
QString DownSinceText(std::int64_t since);

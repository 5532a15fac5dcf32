#pragma once
// Process-wide binding of the ICMP echo service, name resolution and the
// country database. Workers use only the entry points bound here.
#include <string>

#include <netdb.h>

#include "platform/icmp.h"
#include "platform/wintypes.h"

namespace ov::geoip {
class GeoIPDatabase;
}

// The one binding of a process; zero until BindPingServices succeeds.
struct PING_SERVICES {
    bool bound = false;                        // all three ICMP entry points found
    ov::icmp::Provider* icmpModule = nullptr;  // provider that supplied them
    PFN_IcmpCreateFile pIcmpCreateFile = nullptr;
    PFN_IcmpCloseHandle pIcmpCloseHandle = nullptr;
    PFN_IcmpSendEcho pIcmpSendEcho = nullptr;
    PFN_IcmpCancelEcho pIcmpCancelEcho = nullptr;  // optional; null when not exported
    PFN_IcmpSendEchoUs pIcmpSendEchoUs = nullptr;  // optional; null when not exported
    ov::geoip::GeoIPDatabase* geoip = nullptr;     // country database; null when missing
};

// The current binding; read it only while no BindPingServices/UnbindPingServices runs.
const PING_SERVICES& PingServices() noexcept;

// Binds the first ICMP provider that loads and exports the three entry points,
// then opens the country database. False (and unbound) when no provider fits.
// Returns true at once when already bound.
bool BindPingServices();
// Releases the provider and the country database; nothing when unbound.
void UnbindPingServices();

// Dotted-decimal text of an IPv4 address in network byte order.
std::u16string FormatIPv4(IPAddr address);
// Country name of an IPv4 address in network byte order; " " without a database.
std::u16string LookupCountry(IPAddr address);

using PFN_getaddrinfo = int (*)(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
using PFN_freeaddrinfo = void (*)(addrinfo* result);

// getaddrinfo through its slot, bound to the C library on first use.
int BoundGetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result);
// freeaddrinfo through its slot; accepts null.
void BoundFreeAddrInfo(addrinfo* result);
// Replaces both name-resolution entry points (tests); nulls restore the C library's.
void SetNameResolver(PFN_getaddrinfo getAddrInfo, PFN_freeaddrinfo freeAddrInfo);

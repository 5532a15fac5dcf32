#include "PingServices.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <atomic>
#include <cstddef>

#include "ovgeoip.h"
#include "platform/escape.h"

namespace {

PING_SERVICES g_services;

// Name-resolution slots, filled on first use. Workers may fill them at the
// same time; they store the same value.
std::atomic<PFN_getaddrinfo> g_getAddrInfo{nullptr};
std::atomic<PFN_freeaddrinfo> g_freeAddrInfo{nullptr};

template <typename Fn>
Fn ProcOf(ov::icmp::Provider& provider, const char* name) {
    return reinterpret_cast<Fn>(provider.GetProc(name));
}

// Looks the three required entry points (and the optional two) up in
// provider; true when all three are there.
bool LookUpEntryPoints(ov::icmp::Provider& provider, PING_SERVICES& s) {
    s.pIcmpCreateFile = ProcOf<PFN_IcmpCreateFile>(provider, "IcmpCreateFile");
    s.pIcmpCloseHandle = ProcOf<PFN_IcmpCloseHandle>(provider, "IcmpCloseHandle");
    s.pIcmpSendEcho = ProcOf<PFN_IcmpSendEcho>(provider, "IcmpSendEcho");
    s.pIcmpCancelEcho = ProcOf<PFN_IcmpCancelEcho>(provider, "IcmpCancelEcho");
    s.pIcmpSendEchoUs = ProcOf<PFN_IcmpSendEchoUs>(provider, "IcmpSendEchoUs");
    return s.pIcmpCreateFile != nullptr && s.pIcmpCloseHandle != nullptr && s.pIcmpSendEcho != nullptr;
}

// Loads the first provider from position next on that loads; its position,
// or the list's size when none loads.
std::size_t LoadNext(const std::vector<ov::icmp::Provider*>& providers, std::size_t next) {
    for (; next < providers.size(); ++next) {
        if (providers[next] != nullptr && providers[next]->Load()) {
            break;
        }
    }
    return next;
}

void ClearEntryPoints(PING_SERVICES& s) noexcept {
    s.icmpModule = nullptr;
    s.pIcmpCreateFile = nullptr;
    s.pIcmpCloseHandle = nullptr;
    s.pIcmpSendEcho = nullptr;
    s.pIcmpCancelEcho = nullptr;
    s.pIcmpSendEchoUs = nullptr;
}

void OpenCountryDatabase() {
    using namespace ov::geoip;
    g_services.geoip = GeoIP_open(GeoIP_get_default_db_file(), GEOIP_MEMORY_CACHE);
}

void CloseCountryDatabase() {
    ov::geoip::GeoIP_delete(g_services.geoip);
    g_services.geoip = nullptr;
}

}  // namespace

const PING_SERVICES& PingServices() noexcept {
    return g_services;
}

bool BindPingServices() {
    if (g_services.bound) {
        return true;  // a second binding would leak the first provider
    }
    // No socket-library start-up is needed on this system.
    // The providers stand in for the system ICMP libraries, the preferred one first.
    const std::vector<ov::icmp::Provider*> providers = ov::icmp::Providers();
    std::size_t current = LoadNext(providers, 0);
    if (current == providers.size()) {
        return false;
    }
    PING_SERVICES found;
    while (!LookUpEntryPoints(*providers[current], found)) {
        // Missing an entry point: free this provider before trying the next one.
        providers[current]->Unload();
        current = LoadNext(providers, current + 1);
        if (current == providers.size()) {
            ClearEntryPoints(g_services);
            return false;
        }
    }
    found.icmpModule = providers[current];
    found.bound = true;
    found.geoip = g_services.geoip;
    g_services = found;
    // A missing country database does not make the binding fail.
    if (g_services.geoip == nullptr) {
        OpenCountryDatabase();
    }
    return true;
}

void UnbindPingServices() {
    if (g_services.bound) {
        if (g_services.icmpModule != nullptr) {
            g_services.icmpModule->Unload();
        }
        ClearEntryPoints(g_services);
        g_services.bound = false;
    }
    if (g_services.geoip != nullptr) {
        CloseCountryDatabase();
    }
}

std::u16string FormatIPv4(IPAddr address) {
    in_addr in{};
    in.s_addr = address;
    char text[INET_ADDRSTRLEN] = {};
    if (inet_ntop(AF_INET, &in, text, sizeof(text)) == nullptr) {
        return {};
    }
    std::u16string wide;
    for (const char* p = text; *p != '\0'; ++p) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*p)));
    }
    return wide;
}

std::u16string LookupCountry(IPAddr address) {
    using namespace ov::geoip;
    if (g_services.geoip != nullptr) {
        const int id = GeoIP_id_by_ipnum(g_services.geoip, ntohl(address));
        const char16_t* name = GeoIP_country_name_by_id(id);
        if (name != nullptr) {
            return ov::EscapeControls(name);  // a database's text
        }
    }
    return u" ";
}

int BoundGetAddrInfo(const char* node, const char* service, const addrinfo* hints, addrinfo** result) {
    PFN_getaddrinfo fn = g_getAddrInfo.load(std::memory_order_acquire);
    if (fn == nullptr) {
        fn = &::getaddrinfo;
        g_getAddrInfo.store(fn, std::memory_order_release);
    }
    return fn(node, service, hints, result);
}

void BoundFreeAddrInfo(addrinfo* result) {
    PFN_freeaddrinfo fn = g_freeAddrInfo.load(std::memory_order_acquire);
    if (fn == nullptr) {
        fn = &::freeaddrinfo;
        g_freeAddrInfo.store(fn, std::memory_order_release);
    }
    // The C library's freeaddrinfo does not accept null.
    if (result != nullptr) {
        fn(result);
    }
}

void SetNameResolver(PFN_getaddrinfo getAddrInfo, PFN_freeaddrinfo freeAddrInfo) {
    g_getAddrInfo.store(getAddrInfo, std::memory_order_release);
    g_freeAddrInfo.store(freeAddrInfo, std::memory_order_release);
}

#pragma once
// ICMP echo service with the contract of IcmpCreateFile / IcmpSendEcho /
// IcmpCloseHandle. Each provider stands in for a system library exporting
// those three entry points; BindPingServices tries the providers in order.
#include <cstddef>
#include <vector>

#include "platform/wintypes.h"

using IPAddr = std::uint32_t;  // IPv4 address in network byte order

struct IP_OPTION_INFORMATION {
    BYTE Ttl;
    BYTE Tos;
    BYTE Flags;         // IP_FLAG_DF sets don't-fragment
    BYTE OptionsSize;   // always 0 here
    BYTE* OptionsData;  // always null here
};

struct ICMP_ECHO_REPLY {
    IPAddr Address;       // replying (or error-reporting) node
    DWORD Status;         // IP_SUCCESS or one of the IP_* errors below
    DWORD RoundTripTime;  // milliseconds
    WORD DataSize;        // bytes of echoed data
    WORD Reserved;
    void* Data;                     // points into the reply buffer
    IP_OPTION_INFORMATION Options;  // Options.Ttl: time-to-live of the reply
};

constexpr BYTE IP_FLAG_DF = 0x2;

constexpr DWORD IP_SUCCESS = 0;
constexpr DWORD IP_STATUS_BASE = 11000;
constexpr DWORD IP_BUF_TOO_SMALL = 11001;
constexpr DWORD IP_DEST_NET_UNREACHABLE = 11002;
constexpr DWORD IP_DEST_HOST_UNREACHABLE = 11003;
constexpr DWORD IP_DEST_PROT_UNREACHABLE = 11004;
constexpr DWORD IP_DEST_PORT_UNREACHABLE = 11005;
constexpr DWORD IP_NO_RESOURCES = 11006;
constexpr DWORD IP_BAD_OPTION = 11007;
constexpr DWORD IP_HW_ERROR = 11008;
constexpr DWORD IP_PACKET_TOO_BIG = 11009;
constexpr DWORD IP_REQ_TIMED_OUT = 11010;
constexpr DWORD IP_BAD_REQ = 11011;
constexpr DWORD IP_BAD_ROUTE = 11012;
constexpr DWORD IP_TTL_EXPIRED_TRANSIT = 11013;
constexpr DWORD IP_TTL_EXPIRED_REASSEM = 11014;
constexpr DWORD IP_PARAM_PROBLEM = 11015;
constexpr DWORD IP_SOURCE_QUENCH = 11016;
constexpr DWORD IP_OPTION_TOO_BIG = 11017;
constexpr DWORD IP_BAD_DESTINATION = 11018;
constexpr DWORD IP_GENERAL_FAILURE = 11050;

using PFN_IcmpCreateFile = HANDLE (*)();
using PFN_IcmpCloseHandle = BOOL (*)(HANDLE);
using PFN_IcmpSendEcho = DWORD (*)(HANDLE icmp, IPAddr destination, void* requestData, WORD requestSize,
                                   IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize, DWORD timeoutMs);

// Optional export "IcmpSendEchoUs": IcmpSendEcho that also hands back, through
// roundTripUs (when not null), the round-trip time of an answered echo in
// microseconds beside the whole milliseconds of ICMP_ECHO_REPLY.RoundTripTime;
// ov::icmp::kNoRoundTripUs when it has none.
using PFN_IcmpSendEchoUs = DWORD (*)(HANDLE icmp, IPAddr destination, void* requestData, WORD requestSize,
                                     IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize,
                                     DWORD timeoutMs, DWORD* roundTripUs);

// Optional fourth export "IcmpCancelEcho": wakes an IcmpSendEcho waiting on
// the handle at once and makes later sends on it return 0 at once, so that a
// worker being deleted need not wait for its echo timeout.
using PFN_IcmpCancelEcho = BOOL (*)(HANDLE);

namespace ov::icmp {

// One ICMP echo implementation, looked up like a loadable module: Load() says
// whether it can work in this process, GetProc() hands out its entry points
// by export name ("IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho").
class Provider {
public:
    virtual ~Provider() = default;
    virtual const char* Name() const = 0;
    virtual bool Load() = 0;
    virtual void* GetProc(const char* exportName) = 0;
    virtual void Unload() = 0;
};

// Unprivileged datagram ICMP socket (net.ipv4.ping_group_range).
Provider& DatagramProvider();
// Raw ICMP socket (root or CAP_NET_RAW).
Provider& RawProvider();

// IcmpSendEchoUs's microseconds when there are none.
constexpr DWORD kNoRoundTripUs = 0xFFFFFFFFu;

// The providers BindPingServices tries, in order: datagram, then raw.
std::vector<Provider*> Providers();
// Tests replace the list (an empty vector restores the default).
void SetProviders(std::vector<Provider*> providers);

}  // namespace ov::icmp

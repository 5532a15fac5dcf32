#include "icmp_socket.h"

#include "platform/fdlimit.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <new>

namespace ov::icmp::detail {
namespace {

constexpr std::uint8_t kEchoReply = 0;
constexpr std::uint8_t kDestUnreachable = 3;
constexpr std::uint8_t kSourceQuench = 4;
constexpr std::uint8_t kEchoRequest = 8;
constexpr std::uint8_t kTimeExceeded = 11;
constexpr std::uint8_t kParamProblem = 12;
constexpr std::size_t kIcmpHeader = 8;
constexpr std::size_t kMinIpHeader = 20;

std::int64_t ClockNs(clockid_t clock) noexcept {
    timespec ts{};
    clock_gettime(clock, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

std::uint16_t Load16(const std::byte* p) noexcept {
    return static_cast<std::uint16_t>((std::to_integer<unsigned>(p[0]) << 8) | std::to_integer<unsigned>(p[1]));
}

IPAddr LoadAddr(const std::byte* p) noexcept {
    IPAddr a;
    std::memcpy(&a, p, sizeof a);  // stays in network byte order
    return a;
}

unsigned U8(std::byte b) noexcept {
    return std::to_integer<unsigned>(b);
}

// Checks the IP header at p; returns its length or 0 when it is not sound.
std::size_t IpHeaderLength(const std::byte* p, std::size_t size) noexcept {
    if (size < kMinIpHeader || (U8(p[0]) >> 4) != 4) {
        return 0;
    }
    const std::size_t length = (U8(p[0]) & 0xf) * 4u;
    if (length < kMinIpHeader || length > size) {
        return 0;
    }
    return length;
}

// The quoted request inside an ICMP error: the original IP header and at
// least the 8-byte ICMP header of our echo request.
bool QuotesOurRequest(const std::byte* quoted, std::size_t size, IPAddr destination, std::uint16_t identifier,
                      std::uint16_t sequence) noexcept {
    const std::size_t ipLength = IpHeaderLength(quoted, size);
    if (ipLength == 0 || size - ipLength < kIcmpHeader) {
        return false;
    }
    if (U8(quoted[9]) != IPPROTO_ICMP || LoadAddr(quoted + 16) != destination) {
        return false;
    }
    const std::byte* icmp = quoted + ipLength;
    return U8(icmp[0]) == kEchoRequest && Load16(icmp + 4) == identifier && Load16(icmp + 6) == sequence;
}

bool IsErrorType(unsigned type) noexcept {
    return type == kDestUnreachable || type == kTimeExceeded || type == kParamProblem || type == kSourceQuench;
}

}  // namespace

UniqueFd OpenIcmpSocket(SocketKind kind) noexcept {
    const int type = kind == SocketKind::Datagram ? SOCK_DGRAM : SOCK_RAW;
    UniqueFd socket(::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP));
    if (ov::InDescriptorReserve(socket.Get())) {
        socket.Reset();
        errno = EMFILE;  // the rest is kept for the program's own files
    }
    return socket;
}

DWORD StatusOfIcmpError(int type, int code) noexcept {
    switch (type) {
        case kDestUnreachable:
            switch (code) {
                case 0:
                case 6:
                case 9:
                case 11:
                    return IP_DEST_NET_UNREACHABLE;
                case 2:
                    return IP_DEST_PROT_UNREACHABLE;
                case 3:
                    return IP_DEST_PORT_UNREACHABLE;
                case 4:
                    return IP_PACKET_TOO_BIG;
                case 5:
                    return IP_BAD_ROUTE;
                default:
                    return IP_DEST_HOST_UNREACHABLE;
            }
        case kTimeExceeded:
            return code == 1 ? IP_TTL_EXPIRED_REASSEM : IP_TTL_EXPIRED_TRANSIT;
        case kParamProblem:
            return IP_PARAM_PROBLEM;
        case kSourceQuench:
            return IP_SOURCE_QUENCH;
        default:
            return IP_GENERAL_FAILURE;
    }
}

std::uint16_t Checksum(const std::byte* data, std::size_t size) noexcept {
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < size; i += 2) {
        sum += Load16(data + i);
    }
    if (i < size) {
        sum += U8(data[i]) << 8;
    }
    while (sum >> 16) {
        sum = (sum & 0xffff) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

Match ParseRawPacket(const std::byte* packet, std::size_t size, IPAddr destination, std::uint16_t identifier,
                     std::uint16_t sequence) noexcept {
    Match m;
    const std::size_t ipLength = IpHeaderLength(packet, size);
    if (ipLength == 0) {
        return m;
    }
    const std::size_t totalLength = Load16(packet + 2);
    if (totalLength >= ipLength && totalLength < size) {
        size = totalLength;  // ignore link-layer padding
    }
    if (U8(packet[9]) != IPPROTO_ICMP || size - ipLength < kIcmpHeader) {
        return m;
    }
    const std::byte* icmp = packet + ipLength;
    const std::size_t icmpSize = size - ipLength;
    const IPAddr source = LoadAddr(packet + 12);
    const unsigned type = U8(icmp[0]);
    if (type == kEchoReply) {
        if (source != destination || Load16(icmp + 4) != identifier || Load16(icmp + 6) != sequence) {
            return m;
        }
        m.status = IP_SUCCESS;
        m.data = icmp + kIcmpHeader;
        m.dataSize = icmpSize - kIcmpHeader;
    } else if (IsErrorType(type)) {
        if (!QuotesOurRequest(icmp + kIcmpHeader, icmpSize - kIcmpHeader, destination, identifier, sequence)) {
            return m;
        }
        m.status = StatusOfIcmpError(static_cast<int>(type), U8(icmp[1]));
    } else {
        return m;
    }
    m.found = true;
    m.address = source;
    m.ttl = static_cast<BYTE>(U8(packet[8]));
    m.tos = static_cast<BYTE>(U8(packet[1]));
    m.flags = (Load16(packet + 6) & IP_DF) ? IP_FLAG_DF : 0;
    return m;
}

Match ParseDatagramPacket(const std::byte* packet, std::size_t size, IPAddr source, IPAddr destination,
                          std::uint16_t identifier, std::uint16_t sequence) noexcept {
    Match m;
    if (size < kIcmpHeader || U8(packet[0]) != kEchoReply || source != destination ||
        Load16(packet + 4) != identifier || Load16(packet + 6) != sequence) {
        return m;
    }
    m.found = true;
    m.status = IP_SUCCESS;
    m.address = source;
    m.data = packet + kIcmpHeader;
    m.dataSize = size - kIcmpHeader;
    return m;
}

EchoHandle::EchoHandle(SocketKind kind, UniqueFd socket, std::uint16_t identifier) noexcept
    : m_kind(kind), m_socket(std::move(socket)), m_identifier(identifier) {}

EchoHandle::~EchoHandle() {
    m_magic = 0;
}

EchoHandle* EchoHandle::From(HANDLE handle) noexcept {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    auto* h = static_cast<EchoHandle*>(handle);
    return h->m_magic == kMagic ? h : nullptr;
}

std::unique_ptr<EchoHandle> EchoHandle::Open(SocketKind kind) noexcept {
    UniqueFd sock = OpenIcmpSocket(kind);
    if (!sock.Valid()) {
        return nullptr;
    }
    const int on = 1;
    // Kernel receive time stamps, for a response time that leaves out the
    // time between the reply's arrival and this thread running again.
    if (::setsockopt(sock.Get(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
        return nullptr;
    }

    std::uint16_t identifier = 0;
    if (kind == SocketKind::Datagram) {
        // The kernel picks the identifier when the socket is bound; it then
        // hands this socket only the replies and errors that carry it.
        sockaddr_in local{};
        local.sin_family = AF_INET;
        socklen_t length = sizeof local;
        if (::bind(sock.Get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
            ::getsockname(sock.Get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
            return nullptr;
        }
        identifier = ntohs(local.sin_port);
        // ICMP errors for our requests arrive on the error queue; the reply's
        // TTL and TOS arrive as control messages.
        if (::setsockopt(sock.Get(), SOL_IP, IP_RECVERR, &on, sizeof on) != 0 ||
            ::setsockopt(sock.Get(), SOL_IP, IP_RECVTTL, &on, sizeof on) != 0 ||
            ::setsockopt(sock.Get(), SOL_IP, IP_RECVTOS, &on, sizeof on) != 0) {
            return nullptr;
        }
    } else {
        // A raw socket sees every ICMP packet of the machine. Until it is
        // connected to its destination (at the first send) its type filter
        // lets nothing in; connected, the kernel passes it only packets from
        // that peer, before making any copy. Replies of the same peer to other
        // requests are told apart by the identifier, unique in the process.
        static std::atomic<std::uint32_t> counter{0};
        const std::uint32_t n = counter.fetch_add(1);
        identifier = static_cast<std::uint16_t>((static_cast<std::uint32_t>(::getpid()) * 2654435761u) + n * 40503u);
        icmp_filter none{};
        none.data = ~0u;
        if (::setsockopt(sock.Get(), SOL_RAW, ICMP_FILTER, &none, sizeof none) != 0) {
            return nullptr;
        }
        // Packets queued between socket() and the filter did not pass it.
        std::byte scratch[64];
        while (::recv(sock.Get(), scratch, sizeof scratch, MSG_DONTWAIT) >= 0) {
        }
    }
    try {
        return std::make_unique<EchoHandle>(kind, std::move(sock), identifier);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void EchoHandle::Cancel() noexcept {
    m_cancelled.store(true, std::memory_order_release);
    // Shutting a datagram or raw socket down wakes every poll on it (it then
    // reports end of input), connected or not; the socket is used no more.
    ::shutdown(m_socket.Get(), SHUT_RDWR);
}

bool EchoHandle::ApplyOptions(const IP_OPTION_INFORMATION* options) noexcept {
    // TTL 0 is not a usable time-to-live; it asks for the system default.
    const int ttl = (options && options->Ttl != 0) ? options->Ttl : 0;
    const int tos = options ? options->Tos : 0;
    const int df = (options && (options->Flags & IP_FLAG_DF)) ? 1 : 0;
    const int fd = m_socket.Get();
    if (ttl != m_ttl) {
        const int value = ttl == 0 ? -1 : ttl;
        if (::setsockopt(fd, SOL_IP, IP_TTL, &value, sizeof value) != 0) {
            return false;
        }
        m_ttl = ttl;
    }
    if (tos != m_tos) {
        if (::setsockopt(fd, SOL_IP, IP_TOS, &tos, sizeof tos) != 0) {
            return false;
        }
        m_tos = tos;
    }
    if (df != m_df) {
        const int mode = df ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT;
        if (::setsockopt(fd, SOL_IP, IP_MTU_DISCOVER, &mode, sizeof mode) != 0) {
            return false;
        }
        m_df = df;
    }
    return true;
}

bool EchoHandle::SendRequest(IPAddr destination, const void* data, WORD size) noexcept {
    try {
        m_request.resize(kIcmpHeader + size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    std::byte* p = m_request.data();
    p[0] = std::byte{kEchoRequest};
    p[1] = std::byte{0};
    p[2] = p[3] = std::byte{0};
    p[4] = std::byte(m_identifier >> 8);
    p[5] = std::byte(m_identifier & 0xff);
    p[6] = std::byte(m_sequence >> 8);
    p[7] = std::byte(m_sequence & 0xff);
    if (size != 0) {
        std::memcpy(p + kIcmpHeader, data, size);
    }
    if (m_kind == SocketKind::Raw) {
        // The datagram socket's kernel side fills in the checksum itself.
        const std::uint16_t sum = Checksum(p, m_request.size());
        p[2] = std::byte(sum >> 8);
        p[3] = std::byte(sum & 0xff);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    ssize_t sent;
    do {
        sent = ::sendto(m_socket.Get(), p, m_request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    } while (sent < 0 && errno == EINTR);
    return sent == static_cast<ssize_t>(m_request.size());
}

Match EchoHandle::ReadOne(bool errorQueue, IPAddr destination, std::int64_t& receiveRealNs, bool& empty) noexcept {
    Match m;
    sockaddr_in from{};
    iovec iov{m_receive.data(), m_receive.size()};
    msghdr msg{};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = m_control.data();
    msg.msg_controllen = m_control.size();
    const ssize_t n = ::recvmsg(m_socket.Get(), &msg, MSG_DONTWAIT | (errorQueue ? MSG_ERRQUEUE : 0));
    if (n < 0) {
        empty = errno != EINTR;
        return m;
    }
    empty = false;
    if (msg.msg_flags & MSG_TRUNC) {
        return m;  // larger than any reply to our request
    }
    const auto size = static_cast<std::size_t>(n);
    int ttl = -1, tos = -1;
    std::int64_t stamp = 0;
    const sock_extended_err* error = nullptr;
    bool hasOffender = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS &&
            c->cmsg_len >= CMSG_LEN(sizeof(timespec))) {
            timespec ts;
            std::memcpy(&ts, CMSG_DATA(c), sizeof ts);
            stamp = std::int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TTL && c->cmsg_len >= CMSG_LEN(sizeof(int))) {
            std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_TOS && c->cmsg_len >= CMSG_LEN(1)) {
            tos = U8(*reinterpret_cast<const std::byte*>(CMSG_DATA(c)));
        } else if (c->cmsg_level == SOL_IP && c->cmsg_type == IP_RECVERR &&
                   c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err))) {
            error = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
            hasOffender = c->cmsg_len >= CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in));
        }
    }
    const std::byte* packet = m_receive.data();
    if (!errorQueue && m_kind == SocketKind::Raw) {
        m = ParseRawPacket(packet, size, destination, m_identifier, m_sequence);
    } else if (!errorQueue) {
        m = ParseDatagramPacket(packet, size, from.sin_addr.s_addr, destination, m_identifier, m_sequence);
        m.ttl = static_cast<BYTE>(ttl < 0 ? 0 : ttl);
        m.tos = static_cast<BYTE>(tos < 0 ? 0 : tos);
    } else if (error != nullptr) {
        // The error queue quotes our ICMP header; its address is the request's
        // destination, the offender is the node that reported the error.
        if (error->ee_origin == SO_EE_ORIGIN_ICMP) {
            if (size < kIcmpHeader || U8(packet[0]) != kEchoRequest || Load16(packet + 4) != m_identifier ||
                Load16(packet + 6) != m_sequence || from.sin_addr.s_addr != destination) {
                return m;
            }
            sockaddr_in offender{};
            if (hasOffender) {
                const sockaddr* o = SO_EE_OFFENDER(error);
                if (o->sa_family == AF_INET) {
                    std::memcpy(&offender, o, sizeof offender);
                }
            }
            m.found = true;
            m.status = StatusOfIcmpError(error->ee_type, error->ee_code);
            m.address = offender.sin_addr.s_addr;
        }
        // Local errors (such as a message too big with don't-fragment set)
        // are reported by the send itself; their queued copy is dropped.
    }
    if (m.found) {
        receiveRealNs = stamp;
    }
    return m;
}

Match EchoHandle::Drain(bool errorQueue, IPAddr destination, std::int64_t& receiveRealNs) noexcept {
    for (bool empty = false; !empty;) {
        Match m = ReadOne(errorQueue, destination, receiveRealNs, empty);
        if (m.found) {
            return m;
        }
    }
    return {};
}

bool EchoHandle::ConnectTo(IPAddr destination) noexcept {
    if (m_kind != SocketKind::Raw || destination == m_connected) {
        return true;
    }
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = destination;
    if (::connect(m_socket.Get(), reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0) {
        return false;
    }
    if (m_connected == 0) {
        // Errors reported by routers on the way now arrive on the error
        // queue, as on datagram sockets, but only those about this peer; the
        // type filter opens for replies and errors from the peer itself.
        const int on = 1;
        icmp_filter types{};
        types.data = ~((1u << kEchoReply) | (1u << kDestUnreachable) | (1u << kSourceQuench) | (1u << kTimeExceeded) |
                       (1u << kParamProblem));
        if (::setsockopt(m_socket.Get(), SOL_IP, IP_RECVERR, &on, sizeof on) != 0 ||
            ::setsockopt(m_socket.Get(), SOL_RAW, ICMP_FILTER, &types, sizeof types) != 0) {
            return false;
        }
    }
    m_connected = destination;
    return true;
}

bool EchoHandle::Transmit(IPAddr destination, const void* data, WORD size) noexcept {
    if (ConnectTo(destination) && SendRequest(destination, data, size)) {
        return true;
    }
    // An ICMP error that arrives after its request timed out leaves a pending
    // socket error, which fails the next send in its place (and clears it),
    // and an entry on the error queue. Neither belongs to this request: the
    // queue is emptied and the send tried once more. A failure of the request's
    // own fails again. Checking before every send cost a system call an echo.
    std::int64_t ignored;
    Drain(true, 0, ignored);  // quotes only earlier sequence numbers: nothing matches
    return ConnectTo(destination) && SendRequest(destination, data, size);
}

namespace {

// Status of a request whose send failed with error.
DWORD StatusOfSendError(int error) noexcept {
    switch (error) {
        case EMSGSIZE:
            return IP_PACKET_TOO_BIG;
        case ENETUNREACH:
            return IP_DEST_NET_UNREACHABLE;
        case EHOSTUNREACH:
            return IP_DEST_HOST_UNREACHABLE;
        case ENOBUFS:
        case ENOMEM:
            return IP_NO_RESOURCES;
        default:
            return IP_GENERAL_FAILURE;
    }
}

// Writes answer m, read with the kernel's stamp stampReal (0: none), to a
// request sent at sendMono into the reply buffer.
void FillReply(const Match& m, std::int64_t sendMono, std::int64_t stampReal, void* replyBuffer, DWORD replySize,
               DWORD* roundTripUs) noexcept {
    // Turn the kernel's wall-clock stamp into monotonic time; an absent
    // or implausible stamp falls back to the time of reading.
    const std::int64_t nowMono = ClockNs(CLOCK_MONOTONIC);
    const std::int64_t nowReal = ClockNs(CLOCK_REALTIME);
    std::int64_t arrival = stampReal != 0 ? stampReal - (nowReal - nowMono) : nowMono;
    arrival = std::clamp(arrival, sendMono, nowMono);
    auto* reply = static_cast<ICMP_ECHO_REPLY*>(replyBuffer);
    reply->Address = m.address;
    reply->Status = m.status;
    const std::int64_t elapsedNs = arrival - sendMono;
    reply->RoundTripTime = static_cast<DWORD>(elapsedNs / 1'000'000);
    // The kernel stamps in nanoseconds; the caller may take microseconds.
    if (roundTripUs != nullptr) {
        *roundTripUs = static_cast<DWORD>(std::min<std::int64_t>(elapsedNs / 1'000, std::int64_t{kNoRoundTripUs} - 1));
    }
    reply->Options.Ttl = m.ttl;
    reply->Options.Tos = m.tos;
    reply->Options.Flags = m.flags;
    auto* data = static_cast<std::byte*>(replyBuffer) + sizeof(ICMP_ECHO_REPLY);
    if (m.status == IP_SUCCESS) {
        const std::size_t room = replySize - sizeof(ICMP_ECHO_REPLY);
        const std::size_t copied = std::min({m.dataSize, room, std::size_t{0xffff}});
        std::memcpy(data, m.data, copied);
        reply->DataSize = static_cast<WORD>(copied);
    }
    reply->Data = data;
}

}  // namespace

bool EchoHandle::FitBuffers(WORD requestSize) noexcept {
    // Room for the largest IP header, an ICMP error quoting our request, and
    // an echo reply of the request's size.
    const std::size_t receiveSize = 60 + kIcmpHeader + 60 + kIcmpHeader + requestSize + 64;
    try {
        if (m_receive.size() < receiveSize) {
            m_receive.resize(receiveSize);
        }
        if (m_control.empty()) {
            m_control.resize(512);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

DWORD EchoHandle::CheckRequest(const void* requestData, WORD requestSize, const IP_OPTION_INFORMATION* options,
                               DWORD replySize) noexcept {
    if (m_cancelled.load(std::memory_order_acquire)) {
        return IP_GENERAL_FAILURE;
    }
    if (requestSize != 0 && requestData == nullptr) {
        return IP_BAD_REQ;
    }
    if (replySize < sizeof(ICMP_ECHO_REPLY) + requestSize) {
        return IP_BUF_TOO_SMALL;
    }
    if (!FitBuffers(requestSize)) {
        return IP_NO_RESOURCES;
    }
    if (!ApplyOptions(options)) {
        return IP_BAD_OPTION;
    }
    return IP_SUCCESS;
}

DWORD EchoHandle::AwaitAnswer(IPAddr destination, std::int64_t deadline, Match& m, std::int64_t& stampReal) noexcept {
    // On a fast path (loopback) the reply is queued before the send returns,
    // so look once before polling; errors wait for the poll to report them.
    bool readErrors = false;
    bool readData = true;
    for (;;) {
        stampReal = 0;
        m = Match{};
        if (readErrors) {
            m = Drain(true, destination, stampReal);
        }
        if (!m.found && readData) {
            m = Drain(false, destination, stampReal);
        }
        if (m.found) {
            return IP_SUCCESS;
        }
        const std::int64_t remaining = deadline - ClockNs(CLOCK_MONOTONIC);
        if (remaining <= 0) {
            return IP_REQ_TIMED_OUT;
        }
        pollfd fds[1] = {{m_socket.Get(), POLLIN, 0}};
        const timespec wait{static_cast<time_t>(remaining / 1'000'000'000),
                            static_cast<long>(remaining % 1'000'000'000)};
        const int ready = ::ppoll(fds, 1, &wait, nullptr);
        if (ready < 0 && errno != EINTR) {
            return IP_GENERAL_FAILURE;
        }
        if (m_cancelled.load(std::memory_order_acquire)) {
            return IP_GENERAL_FAILURE;
        }
        // After the deadline (or a signal) both queues get a look.
        const bool both = ready <= 0;
        readErrors = both || (fds[0].revents & POLLERR) != 0;
        readData = both || (fds[0].revents & POLLIN) != 0;
    }
}

DWORD EchoHandle::SendEcho(IPAddr destination, const void* requestData, WORD requestSize,
                           const IP_OPTION_INFORMATION* options, void* replyBuffer, DWORD replySize, DWORD timeoutMs,
                           DWORD* roundTripUs) noexcept {
    if (replyBuffer == nullptr || replySize < sizeof(ICMP_ECHO_REPLY)) {
        return 0;  // no room even to say why
    }
    auto* reply = static_cast<ICMP_ECHO_REPLY*>(replyBuffer);
    std::memset(reply, 0, sizeof *reply);
    auto fail = [reply](DWORD status) noexcept {
        reply->Status = status;
        return DWORD{0};
    };
    const DWORD refused = CheckRequest(requestData, requestSize, options, replySize);
    if (refused != IP_SUCCESS) {
        return fail(refused);
    }

    ++m_sequence;
    const std::int64_t sendMono = ClockNs(CLOCK_MONOTONIC);
    if (!Transmit(destination, requestData, requestSize)) {
        const int error = errno;
        std::int64_t ignored;
        Drain(true, destination, ignored);  // takes the queued copy of the failure
        return fail(StatusOfSendError(error));
    }
    Match m;
    std::int64_t stampReal = 0;
    const DWORD failure = AwaitAnswer(destination, sendMono + std::int64_t{timeoutMs} * 1'000'000, m, stampReal);
    if (failure != IP_SUCCESS) {
        return fail(failure);
    }
    FillReply(m, sendMono, stampReal, replyBuffer, replySize, roundTripUs);
    return 1;
}

}  // namespace ov::icmp::detail

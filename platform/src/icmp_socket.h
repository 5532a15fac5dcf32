#pragma once
// One ICMP echo handle: a datagram or raw ICMP socket with its identifier and
// sequence counter. It costs one descriptor: a cancel wakes a waiting echo by
// shutting the socket down.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/icmp.h"
#include "platform/unique_fd.h"

namespace ov::icmp::detail {

enum class SocketKind { Datagram, Raw };

using ov::UniqueFd;

// Opens a socket of this kind (non-blocking, close-on-exec), or an invalid fd.
UniqueFd OpenIcmpSocket(SocketKind kind) noexcept;

// A parsed packet that belongs to the request being waited for.
struct Match {
    bool found = false;
    DWORD status = IP_SUCCESS;
    IPAddr address = 0;  // replying or error-reporting node
    const std::byte* data = nullptr;
    std::size_t dataSize = 0;
    BYTE ttl = 0;
    BYTE tos = 0;
    BYTE flags = 0;
};

// Pure packet checks, shared by the socket code and the tests: a raw packet
// starts with the IP header, a datagram packet with the ICMP header.
Match ParseRawPacket(const std::byte* packet, std::size_t size, IPAddr destination, std::uint16_t identifier,
                     std::uint16_t sequence) noexcept;
Match ParseDatagramPacket(const std::byte* packet, std::size_t size, IPAddr source, IPAddr destination,
                          std::uint16_t identifier, std::uint16_t sequence) noexcept;
// Status code for an ICMP error of this type and code.
DWORD StatusOfIcmpError(int type, int code) noexcept;
// Internet checksum of the buffer.
std::uint16_t Checksum(const std::byte* data, std::size_t size) noexcept;

class EchoHandle {
public:
    // A handle with an open socket of this kind, or null.
    static std::unique_ptr<EchoHandle> Open(SocketKind kind) noexcept;

    EchoHandle(const EchoHandle&) = delete;
    EchoHandle& operator=(const EchoHandle&) = delete;

    // Checks that a HANDLE value points at a live echo handle.
    static EchoHandle* From(HANDLE handle) noexcept;

    DWORD SendEcho(IPAddr destination, const void* requestData, WORD requestSize, const IP_OPTION_INFORMATION* options,
                   void* replyBuffer, DWORD replySize, DWORD timeoutMs, DWORD* roundTripUs) noexcept;
    void Cancel() noexcept;
    std::uint16_t Identifier() const noexcept { return m_identifier; }

    EchoHandle(SocketKind kind, UniqueFd socket, std::uint16_t identifier) noexcept;
    ~EchoHandle();

private:
    // SendEcho's steps. IP_SUCCESS when the request can go out and its answer
    // fits in replySize bytes (the buffers sized and the options set for it);
    // otherwise the status that refuses it.
    DWORD CheckRequest(const void* requestData, WORD requestSize, const IP_OPTION_INFORMATION* options,
                       DWORD replySize) noexcept;
    // Sizes the receive buffers for the answers to a request of requestSize bytes.
    bool FitBuffers(WORD requestSize) noexcept;
    // Reads until the answer to the current request is in m (IP_SUCCESS), the
    // monotonic deadline passes, the handle is cancelled or the poll fails
    // (the failure's status).
    DWORD AwaitAnswer(IPAddr destination, std::int64_t deadline, Match& m, std::int64_t& stampReal) noexcept;
    bool ApplyOptions(const IP_OPTION_INFORMATION* options) noexcept;
    bool SendRequest(IPAddr destination, const void* data, WORD size) noexcept;
    // Reads one queue until a packet belongs to the current request or the
    // queue is empty.
    Match Drain(bool errorQueue, IPAddr destination, std::int64_t& receiveRealNs) noexcept;
    bool ConnectTo(IPAddr destination) noexcept;
    // Connects (raw sockets) and sends the current request; a send failed by
    // an error that an earlier request left is tried once more. false with
    // errno telling why when it could not go out.
    bool Transmit(IPAddr destination, const void* data, WORD size) noexcept;
    Match ReadOne(bool errorQueue, IPAddr destination, std::int64_t& receiveRealNs, bool& empty) noexcept;

    static constexpr std::uint32_t kMagic = 0x4f564943;  // "OVIC"
    std::uint32_t m_magic = kMagic;
    SocketKind m_kind;
    UniqueFd m_socket;
    std::uint16_t m_identifier;
    std::uint16_t m_sequence = 0;
    IPAddr m_connected = 0;  // raw sockets: the peer the kernel matches for us
    std::atomic<bool> m_cancelled{false};
    // Options currently set on the socket (-1: never set).
    int m_ttl = -1;
    int m_tos = -1;
    int m_df = -1;
    std::vector<std::byte> m_request;
    std::vector<std::byte> m_receive;
    std::vector<std::byte> m_control;
};

}  // namespace ov::icmp::detail

// Packet checks of the ICMP echo service: which received packets count as
// the answer to the request being waited for, and which are ignored.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "../../platform/src/icmp_socket.h"

namespace {

using ov::icmp::detail::Checksum;
using ov::icmp::detail::ParseDatagramPacket;
using ov::icmp::detail::ParseRawPacket;
using Bytes = std::vector<std::byte>;

const IPAddr kTarget = htonl(0x0a000002);  // 10.0.0.2
const IPAddr kRouter = htonl(0x0a000009);
constexpr std::uint16_t kId = 0x1234;
constexpr std::uint16_t kSeq = 7;

void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
    b[at] = std::byte(v >> 8);
    b[at + 1] = std::byte(v & 0xff);
}

Bytes Icmp(int type, int code, std::uint16_t id, std::uint16_t seq, std::size_t data) {
    Bytes b(8 + data, std::byte{'A'});
    b[0] = std::byte(type);
    b[1] = std::byte(code);
    b[2] = b[3] = std::byte{0};
    Put16(b, 4, id);
    Put16(b, 6, seq);
    return b;
}

Bytes Ip(IPAddr source, IPAddr destination, int ttl, const Bytes& payload, int optionWords = 0) {
    const std::size_t header = 20 + 4 * optionWords;
    Bytes b(header, std::byte{0});
    b[0] = std::byte(0x40 | (5 + optionWords));
    b[1] = std::byte{0x10};
    Put16(b, 2, static_cast<std::uint16_t>(header + payload.size()));
    Put16(b, 6, 0x4000);  // don't fragment
    b[8] = std::byte(ttl);
    b[9] = std::byte{1};
    std::memcpy(&b[12], &source, 4);
    std::memcpy(&b[16], &destination, 4);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes ErrorQuoting(int type, int code, std::uint16_t id, std::uint16_t seq, IPAddr quotedDest) {
    Bytes quoted = Ip(htonl(0x0a000001), quotedDest, 1, Icmp(8, 0, id, seq, 0));
    Bytes error = Icmp(type, code, 0, 0, 0);
    error.insert(error.end(), quoted.begin(), quoted.end());
    return Ip(kRouter, htonl(0x0a000001), 250, error);
}

TEST(IcmpPacket, RawEchoReplyOfOurRequestIsTaken) {
    const Bytes p = Ip(kTarget, htonl(0x0a000001), 57, Icmp(0, 0, kId, kSeq, 32), 2);
    const auto m = ParseRawPacket(p.data(), p.size(), kTarget, kId, kSeq);
    ASSERT_TRUE(m.found);
    EXPECT_EQ(m.status, IP_SUCCESS);
    EXPECT_EQ(m.address, kTarget);
    EXPECT_EQ(m.ttl, 57);
    EXPECT_EQ(m.tos, 0x10);
    EXPECT_EQ(m.flags, IP_FLAG_DF);
    EXPECT_EQ(m.dataSize, 32u);
    EXPECT_EQ(m.data, p.data() + 28 + 8);  // after the options and the ICMP header
}

TEST(IcmpPacket, RawPacketsOfOtherRequestsAreIgnored) {
    const IPAddr other = htonl(0x0a000003);
    const Bytes cases[] = {
        Ip(kTarget, 0, 64, Icmp(0, 0, kId, kSeq - 1, 8)),  // stale sequence
        Ip(kTarget, 0, 64, Icmp(0, 0, kId + 1, kSeq, 8)),  // another process
        Ip(other, 0, 64, Icmp(0, 0, kId, kSeq, 8)),        // another source
        Ip(kTarget, 0, 64, Icmp(8, 0, kId, kSeq, 8)),      // our own request
        Ip(kTarget, 0, 64, Icmp(13, 0, kId, kSeq, 8)),     // timestamp, not echo
        ErrorQuoting(3, 1, kId, kSeq - 1, kTarget),        // error for an old request
        ErrorQuoting(3, 1, kId + 1, kSeq, kTarget),        // error for another process
        ErrorQuoting(11, 0, kId, kSeq, other),             // error for another target
    };
    for (const Bytes& p : cases) {
        EXPECT_FALSE(ParseRawPacket(p.data(), p.size(), kTarget, kId, kSeq).found);
    }
}

TEST(IcmpPacket, RawErrorsBecomeStatusesFromTheReportingNode) {
    struct Case {
        int type, code;
        DWORD status;
    } const cases[] = {
        {3, 0, IP_DEST_NET_UNREACHABLE},  {3, 1, IP_DEST_HOST_UNREACHABLE}, {3, 2, IP_DEST_PROT_UNREACHABLE},
        {3, 3, IP_DEST_PORT_UNREACHABLE}, {3, 4, IP_PACKET_TOO_BIG},        {3, 13, IP_DEST_HOST_UNREACHABLE},
        {11, 0, IP_TTL_EXPIRED_TRANSIT},  {11, 1, IP_TTL_EXPIRED_REASSEM},  {12, 0, IP_PARAM_PROBLEM},
    };
    for (const Case& c : cases) {
        const Bytes p = ErrorQuoting(c.type, c.code, kId, kSeq, kTarget);
        const auto m = ParseRawPacket(p.data(), p.size(), kTarget, kId, kSeq);
        ASSERT_TRUE(m.found) << c.type << "/" << c.code;
        EXPECT_EQ(m.status, c.status) << c.type << "/" << c.code;
        EXPECT_EQ(m.address, kRouter);
        EXPECT_EQ(m.dataSize, 0u);
    }
}

TEST(IcmpPacket, TruncatedOrDamagedRawPacketsAreIgnored) {
    const Bytes reply = Ip(kTarget, 0, 64, Icmp(0, 0, kId, kSeq, 0));
    const Bytes error = ErrorQuoting(11, 0, kId, kSeq, kTarget);
    // Every cut short of the full packet loses a header the check needs.
    for (std::size_t n = 0; n < reply.size(); ++n) {
        EXPECT_FALSE(ParseRawPacket(reply.data(), n, kTarget, kId, kSeq).found) << n;
    }
    for (std::size_t n = 0; n < error.size(); ++n) {
        EXPECT_FALSE(ParseRawPacket(error.data(), n, kTarget, kId, kSeq).found) << n;
    }

    Bytes badVersion = reply;
    badVersion[0] = std::byte{0x65};
    EXPECT_FALSE(ParseRawPacket(badVersion.data(), badVersion.size(), kTarget, kId, kSeq).found);
    Bytes longHeader = reply;
    longHeader[0] = std::byte{0x4f};  // 60-byte header in a 28-byte packet
    EXPECT_FALSE(ParseRawPacket(longHeader.data(), longHeader.size(), kTarget, kId, kSeq).found);
    Bytes shortHeader = reply;
    shortHeader[0] = std::byte{0x44};
    EXPECT_FALSE(ParseRawPacket(shortHeader.data(), shortHeader.size(), kTarget, kId, kSeq).found);
    // An IP length that leaves no room for the ICMP header, with bytes after it.
    Bytes shortLength = error;
    shortLength[2] = std::byte{0};
    shortLength[3] = std::byte{24};
    EXPECT_FALSE(ParseRawPacket(shortLength.data(), shortLength.size(), kTarget, kId, kSeq).found);
    Bytes quotedBad = error;
    quotedBad[28] = std::byte{0x4f};  // quoted header longer than the quote
    EXPECT_FALSE(ParseRawPacket(quotedBad.data(), quotedBad.size(), kTarget, kId, kSeq).found);
}

TEST(IcmpPacket, RawPaddingBeyondTheIpLengthIsNotData) {
    Bytes p = Ip(kTarget, 0, 64, Icmp(0, 0, kId, kSeq, 4));
    p.resize(p.size() + 10, std::byte{0});
    const auto m = ParseRawPacket(p.data(), p.size(), kTarget, kId, kSeq);
    ASSERT_TRUE(m.found);
    EXPECT_EQ(m.dataSize, 4u);
}

TEST(IcmpPacket, DatagramReplyMatchesIdentifierSequenceAndSource) {
    const Bytes p = Icmp(0, 0, kId, kSeq, 16);
    const auto m = ParseDatagramPacket(p.data(), p.size(), kTarget, kTarget, kId, kSeq);
    ASSERT_TRUE(m.found);
    EXPECT_EQ(m.dataSize, 16u);
    EXPECT_EQ(m.address, kTarget);
    EXPECT_FALSE(ParseDatagramPacket(p.data(), p.size(), kRouter, kTarget, kId, kSeq).found);
    EXPECT_FALSE(ParseDatagramPacket(p.data(), p.size(), kTarget, kTarget, kId, kSeq + 1).found);
    EXPECT_FALSE(ParseDatagramPacket(p.data(), p.size(), kTarget, kTarget, kId + 1, kSeq).found);
    for (std::size_t n = 0; n < 8; ++n) {
        EXPECT_FALSE(ParseDatagramPacket(p.data(), n, kTarget, kTarget, kId, kSeq).found);
    }
}

TEST(IcmpPacket, ChecksumOfAPacketWithItsChecksumIsZero) {
    for (std::size_t data : {0u, 1u, 31u, 56u}) {
        Bytes p = Icmp(8, 0, kId, kSeq, data);
        const std::uint16_t sum = Checksum(p.data(), p.size());
        Put16(p, 2, sum);
        EXPECT_EQ(Checksum(p.data(), p.size()), 0) << data;
    }
}

}  // namespace

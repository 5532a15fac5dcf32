// Real echoes to 127.0.0.1 through each provider this process may use.
#include <arpa/inet.h>
#include <dirent.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/icmp.h"

namespace {

struct Api {
    PFN_IcmpCreateFile create;
    PFN_IcmpCloseHandle close;
    PFN_IcmpSendEcho send;
    PFN_IcmpCancelEcho cancel;
    PFN_IcmpSendEchoUs sendUs;
};

Api ApiOf(ov::icmp::Provider& p) {
    return {reinterpret_cast<PFN_IcmpCreateFile>(p.GetProc("IcmpCreateFile")),
            reinterpret_cast<PFN_IcmpCloseHandle>(p.GetProc("IcmpCloseHandle")),
            reinterpret_cast<PFN_IcmpSendEcho>(p.GetProc("IcmpSendEcho")),
            reinterpret_cast<PFN_IcmpCancelEcho>(p.GetProc("IcmpCancelEcho")),
            reinterpret_cast<PFN_IcmpSendEchoUs>(p.GetProc("IcmpSendEchoUs"))};
}

std::string ReadSysctl(const char* path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string PingGroupRange() {
    return ReadSysctl("/proc/sys/net/ipv4/ping_group_range");
}

// Descriptors this process holds open now.
int OpenDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) {
        return -1;
    }
    int n = 0;
    while (readdir(dir) != nullptr) {
        ++n;
    }
    closedir(dir);
    return n;
}

int DefaultTtl() {
    return std::stoi(ReadSysctl("/proc/sys/net/ipv4/ip_default_ttl"));
}

class IcmpNet : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        provider = GetParam() ? &ov::icmp::DatagramProvider() : &ov::icmp::RawProvider();
        if (!provider->Load()) {
            const std::string why =
                GetParam() ? "datagram ICMP sockets not allowed here (ping_group_range \"" + PingGroupRange() + "\")"
                           : std::string("raw ICMP sockets need root or CAP_NET_RAW");
            GTEST_SKIP() << why;
        }
        api = ApiOf(*provider);
        ASSERT_TRUE(api.create && api.close && api.send && api.cancel && api.sendUs);
        handle = api.create();
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    }
    void TearDown() override {
        if (handle != INVALID_HANDLE_VALUE && api.close) {
            EXPECT_TRUE(api.close(handle));
        }
    }

    ov::icmp::Provider* provider = nullptr;
    Api api{};
    HANDLE handle = INVALID_HANDLE_VALUE;
    const IPAddr loopback = htonl(INADDR_LOOPBACK);
};

TEST_P(IcmpNet, LoopbackAnswersWithOurDataAndTtl) {
    std::vector<char> request(48, 'A');
    std::vector<unsigned char> buffer(sizeof(ICMP_ECHO_REPLY) + request.size() + 8);
    IP_OPTION_INFORMATION options{33, 0, 0, 0, nullptr};
    for (int i = 0; i < 3; ++i) {
        // Every other round without the microseconds, which the two entry points share.
        DWORD us = 0;
        ASSERT_EQ(i % 2 == 0 ? api.sendUs(handle, loopback, request.data(), static_cast<WORD>(request.size()), &options,
                                          buffer.data(), static_cast<DWORD>(buffer.size()), 1000, &us)
                             : api.send(handle, loopback, request.data(), static_cast<WORD>(request.size()), &options,
                                        buffer.data(), static_cast<DWORD>(buffer.size()), 1000),
                  1u);
        const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(buffer.data());
        EXPECT_EQ(reply->Status, IP_SUCCESS);
        EXPECT_EQ(reply->Address, loopback);
        EXPECT_LT(reply->RoundTripTime, 100u);
        // The kernel's stamp gives microseconds beside the milliseconds.
        if (i % 2 == 0) {
            ASSERT_NE(us, ov::icmp::kNoRoundTripUs);
            EXPECT_EQ(us / 1000, reply->RoundTripTime);
        }
        // The kernel answers with its own default time-to-live.
        EXPECT_EQ(reply->Options.Ttl, DefaultTtl());
        ASSERT_EQ(reply->DataSize, request.size());
        EXPECT_EQ(reply->Data, buffer.data() + sizeof(ICMP_ECHO_REPLY));
        EXPECT_EQ(std::memcmp(reply->Data, request.data(), request.size()), 0);
    }
}

TEST_P(IcmpNet, EmptyRequestAndDefaultOptions) {
    std::vector<unsigned char> buffer(sizeof(ICMP_ECHO_REPLY) + 8);
    ASSERT_EQ(api.send(handle, loopback, nullptr, 0, nullptr, buffer.data(), static_cast<DWORD>(buffer.size()), 1000),
              1u);
    const auto* reply = reinterpret_cast<const ICMP_ECHO_REPLY*>(buffer.data());
    EXPECT_EQ(reply->Status, IP_SUCCESS);
    EXPECT_EQ(reply->DataSize, 0);
    EXPECT_GT(reply->Options.Ttl, 0);
}

TEST_P(IcmpNet, TooSmallReplyBufferIsReportedNotOverrun) {
    std::vector<char> request(64, 'A');
    // Exactly sized heap blocks: the sanitizer catches any write past them.
    auto small = std::make_unique<unsigned char[]>(sizeof(ICMP_ECHO_REPLY) + 63);
    EXPECT_EQ(api.send(handle, loopback, request.data(), 64, nullptr, small.get(), sizeof(ICMP_ECHO_REPLY) + 63, 1000),
              0u);
    EXPECT_EQ(reinterpret_cast<ICMP_ECHO_REPLY*>(small.get())->Status, IP_BUF_TOO_SMALL);
    auto tiny = std::make_unique<unsigned char[]>(sizeof(ICMP_ECHO_REPLY) - 1);
    EXPECT_EQ(api.send(handle, loopback, request.data(), 64, nullptr, tiny.get(), sizeof(ICMP_ECHO_REPLY) - 1, 1000),
              0u);
}

TEST_P(IcmpNet, HandlesWorkSideBySideAndBadHandlesAreRefused) {
    HANDLE second = api.create();
    ASSERT_NE(second, INVALID_HANDLE_VALUE);
    std::vector<unsigned char> buffer(sizeof(ICMP_ECHO_REPLY) + 16);
    char data[8] = {'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'};
    EXPECT_EQ(api.send(second, loopback, data, 8, nullptr, buffer.data(), 56, 1000), 1u);
    EXPECT_EQ(api.send(handle, loopback, data, 8, nullptr, buffer.data(), 56, 1000), 1u);
    EXPECT_TRUE(api.close(second));
    EXPECT_EQ(api.send(INVALID_HANDLE_VALUE, loopback, data, 8, nullptr, buffer.data(), 56, 100), 0u);
    EXPECT_FALSE(api.close(INVALID_HANDLE_VALUE));
    EXPECT_FALSE(api.close(nullptr));
}

TEST_P(IcmpNet, CancelledHandleReturnsAtOnce) {
    ASSERT_TRUE(api.cancel(handle));
    std::vector<unsigned char> buffer(sizeof(ICMP_ECHO_REPLY) + 8);
    EXPECT_EQ(api.send(handle, loopback, nullptr, 0, nullptr, buffer.data(), static_cast<DWORD>(buffer.size()), 1000),
              0u);
}

TEST_P(IcmpNet, AHandleHoldsOneDescriptor) {
    // Thousands of hosts hold a handle each: one descriptor per handle.
    const int before = OpenDescriptors();
    std::vector<HANDLE> handles;
    for (int i = 0; i < 10; ++i) {
        handles.push_back(api.create());
        ASSERT_NE(handles.back(), INVALID_HANDLE_VALUE);
    }
    EXPECT_EQ(OpenDescriptors() - before, 10);
    for (HANDLE h : handles) {
        EXPECT_TRUE(api.close(h));
    }
    EXPECT_EQ(OpenDescriptors(), before);
}

INSTANTIATE_TEST_SUITE_P(Providers, IcmpNet, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Datagram" : "Raw"; });

TEST(IcmpProviders, DefaultOrderIsDatagramThenRawAndCanBeReplaced) {
    auto list = ov::icmp::Providers();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], &ov::icmp::DatagramProvider());
    EXPECT_EQ(list[1], &ov::icmp::RawProvider());
    ov::icmp::SetProviders({&ov::icmp::RawProvider()});
    ASSERT_EQ(ov::icmp::Providers().size(), 1u);
    EXPECT_EQ(ov::icmp::Providers()[0], &ov::icmp::RawProvider());
    ov::icmp::SetProviders({});
    EXPECT_EQ(ov::icmp::Providers().size(), 2u);
    EXPECT_EQ(ov::icmp::RawProvider().GetProc("NoSuchExport"), nullptr);
}

}  // namespace

#include "PingServices.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include "support/fake_icmp.h"

namespace {

using ov::test::FakeIcmpProvider;
using ov::test::ProviderScope;

TEST(PingServices, BindsTheFirstProviderThatLoadsWithAllEntryPoints) {
    FakeIcmpProvider first("first");
    FakeIcmpProvider second("second");
    ProviderScope scope({&first, &second});
    ASSERT_TRUE(BindPingServices());
    const PING_SERVICES& s = PingServices();
    EXPECT_TRUE(s.bound);
    EXPECT_EQ(s.icmpModule, &first);
    EXPECT_NE(s.pIcmpCreateFile, nullptr);
    EXPECT_NE(s.pIcmpCloseHandle, nullptr);
    EXPECT_NE(s.pIcmpSendEcho, nullptr);
    EXPECT_NE(s.pIcmpCancelEcho, nullptr);
    EXPECT_EQ(second.LoadCalls(), 0);

    // A second call while bound keeps the binding instead of loading again.
    EXPECT_TRUE(BindPingServices());
    EXPECT_EQ(first.LoadCalls(), 1);

    UnbindPingServices();
    EXPECT_FALSE(PingServices().bound);
    EXPECT_EQ(PingServices().icmpModule, nullptr);
    EXPECT_EQ(PingServices().pIcmpSendEcho, nullptr);
    EXPECT_EQ(first.UnloadCalls(), 1);
    UnbindPingServices();  // nothing bound: nothing happens
    EXPECT_EQ(first.UnloadCalls(), 1);
}

TEST(PingServices, FallsBackWhenTheFirstProviderDoesNotLoad) {
    FakeIcmpProvider first("first");
    FakeIcmpProvider second("second");
    first.SetLoadFails(true);
    ProviderScope scope({&first, &second});
    ASSERT_TRUE(BindPingServices());
    EXPECT_EQ(PingServices().icmpModule, &second);
    EXPECT_EQ(first.LoadCalls(), 1);
    EXPECT_EQ(second.LoadCalls(), 1);
}

TEST(PingServices, FallsBackAndFreesTheFirstWhenItLacksAnEntryPoint) {
    for (const char* missing : {"IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho"}) {
        SCOPED_TRACE(missing);
        FakeIcmpProvider first("first");
        FakeIcmpProvider second("second");
        first.SetMissingExport(missing);
        ProviderScope scope({&first, &second});
        ASSERT_TRUE(BindPingServices());
        EXPECT_EQ(PingServices().icmpModule, &second);
        EXPECT_EQ(first.UnloadCalls(), 1);
        // Every entry point comes from the second provider.
        const HANDLE h = PingServices().pIcmpCreateFile();
        EXPECT_EQ(second.CreateCalls(), 1);
        EXPECT_EQ(first.CreateCalls(), 0);
        PingServices().pIcmpCloseHandle(h);
        EXPECT_EQ(second.CloseCalls(), 1);
    }
}

TEST(PingServices, FailsWhenNoProviderFits) {
    FakeIcmpProvider first("first");
    FakeIcmpProvider second("second");
    {
        first.SetLoadFails(true);
        second.SetLoadFails(true);
        ProviderScope scope({&first, &second});
        EXPECT_FALSE(BindPingServices());
        EXPECT_FALSE(PingServices().bound);
        EXPECT_EQ(PingServices().icmpModule, nullptr);
    }
    {
        first.SetLoadFails(false);
        second.SetLoadFails(false);
        first.SetMissingExport("IcmpSendEcho");
        second.SetMissingExport("IcmpCreateFile");
        ProviderScope scope({&first, &second});
        EXPECT_FALSE(BindPingServices());
        EXPECT_FALSE(PingServices().bound);
        EXPECT_EQ(PingServices().pIcmpCreateFile, nullptr);
        EXPECT_EQ(first.UnloadCalls(), 1);
        EXPECT_EQ(second.UnloadCalls(), 1);
    }
    {
        // First lacks an entry point and the second does not load.
        first.SetMissingExport("IcmpCloseHandle");
        second.SetMissingExport("");
        second.SetLoadFails(true);
        ProviderScope scope({&first, &second});
        EXPECT_FALSE(BindPingServices());
        EXPECT_EQ(first.UnloadCalls(), 2);
    }
}

TEST(PingServices, BindsAgainAfterAFailure) {
    FakeIcmpProvider only("only");
    only.SetLoadFails(true);
    ProviderScope scope({&only});
    EXPECT_FALSE(BindPingServices());
    only.SetLoadFails(false);
    EXPECT_TRUE(BindPingServices());
    EXPECT_EQ(only.LoadCalls(), 2);
}

TEST(PingServices, TheCancelEntryPointIsOptional) {
    FakeIcmpProvider only("only");
    only.SetMissingExport("IcmpCancelEcho");
    ProviderScope scope({&only});
    ASSERT_TRUE(BindPingServices());
    EXPECT_EQ(PingServices().pIcmpCancelEcho, nullptr);
}

TEST(PingServices, FormatIPv4GivesDottedDecimal) {
    EXPECT_EQ(FormatIPv4(htonl(0x7F000001)), u"127.0.0.1");
    EXPECT_EQ(FormatIPv4(0), u"0.0.0.0");
    EXPECT_EQ(FormatIPv4(0xFFFFFFFFu), u"255.255.255.255");
    EXPECT_EQ(FormatIPv4(htonl(0xC0A8010A)), u"192.168.1.10");
}

TEST(PingServices, CountryIsABlankWithoutADatabase) {
    FakeIcmpProvider only("only");
    ProviderScope scope({&only});
    ASSERT_EQ(setenv("OV_GEOIP_DB", "/nonexistent/GeoIP.dat", 1), 0);
    EXPECT_TRUE(BindPingServices());
    unsetenv("OV_GEOIP_DB");
    EXPECT_EQ(PingServices().geoip, nullptr);
    EXPECT_EQ(LookupCountry(htonl(0x08080808)), u" ");
}

TEST(PingServices, CountryComesFromTheDatabaseWhenOneIsInstalled) {
    FakeIcmpProvider only("only");
    ProviderScope scope({&only});
    unsetenv("OV_GEOIP_DB");
    ASSERT_TRUE(BindPingServices());
    if (PingServices().geoip == nullptr) {
        GTEST_SKIP() << "no country database installed";
    }
    EXPECT_NE(LookupCountry(htonl(0x08080808)), u" ");
    UnbindPingServices();
    EXPECT_EQ(PingServices().geoip, nullptr);
    EXPECT_EQ(LookupCountry(htonl(0x08080808)), u" ");
}

}  // namespace

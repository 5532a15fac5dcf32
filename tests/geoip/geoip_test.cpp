// Country database: default path, missing files, lookups and wide names.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "ovgeoip.h"

namespace {

namespace g = ov::geoip;

constexpr char kDebianDb[] = "/usr/share/GeoIP/GeoIP.dat";

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());
}

struct EnvGuard {
    EnvGuard() {
        if (const char* v = std::getenv("OV_GEOIP_DB")) {
            saved = v, had = true;
        }
    }
    ~EnvGuard() {
        if (had) {
            setenv("OV_GEOIP_DB", saved.c_str(), 1);
        } else {
            unsetenv("OV_GEOIP_DB");
        }
    }
    std::string saved;
    bool had = false;
};

TEST(GeoIP, DefaultFileIsDebiansUnlessTheEnvironmentNamesAnother) {
    EnvGuard guard;
    unsetenv("OV_GEOIP_DB");
    EXPECT_EQ(std::u16string(g::GeoIP_get_default_db_file()), Wide(kDebianDb));
    setenv("OV_GEOIP_DB", "/tmp/\xc3\xa9/x.dat", 1);  // UTF-8 path widened
    EXPECT_EQ(std::u16string(g::GeoIP_get_default_db_file()), u"/tmp/\u00e9/x.dat");
    setenv("OV_GEOIP_DB", "", 1);
    EXPECT_EQ(std::u16string(g::GeoIP_get_default_db_file()), Wide(kDebianDb));
}

TEST(GeoIP, MissingOrEmptyDatabaseGivesNull) {
    EXPECT_EQ(g::GeoIP_open(u"/nonexistent/GeoIP.dat", g::GEOIP_MEMORY_CACHE), nullptr);
    EXPECT_EQ(g::GeoIP_open(u"", g::GEOIP_MEMORY_CACHE), nullptr);
    EXPECT_EQ(g::GeoIP_open(nullptr, g::GEOIP_MEMORY_CACHE), nullptr);
    const auto dir = std::filesystem::temp_directory_path();
    EXPECT_EQ(g::GeoIP_open(Wide(dir.string()).c_str(), g::GEOIP_MEMORY_CACHE), nullptr);
    const auto empty = dir / ("ov_geoip_empty_" + std::to_string(getpid()) + ".dat");
    std::ofstream(empty).close();
    EXPECT_EQ(g::GeoIP_open(Wide(empty.string()).c_str(), g::GEOIP_MEMORY_CACHE), nullptr);
    std::filesystem::remove(empty);
    // Null handles are harmless everywhere.
    EXPECT_EQ(g::GeoIP_id_by_ipnum(nullptr, 0x08080808), 0);
    g::GeoIP_delete(nullptr);
}

TEST(GeoIP, NamesOfIdsAreNeverNull) {
    EXPECT_EQ(std::u16string(g::GeoIP_country_name_by_id(-1)), u"");
    EXPECT_EQ(std::u16string(g::GeoIP_country_name_by_id(100000)), u"");
    EXPECT_EQ(std::u16string(g::GeoIP_country_name_by_id(0)), u"N/A");
}

TEST(GeoIP, DebianDatabaseKnowsPublicAddresses) {
    if (!std::filesystem::exists(kDebianDb)) {
        GTEST_SKIP() << "geoip-database is not installed";
    }
    g::GeoIP* db = g::GeoIP_open(Wide(kDebianDb).c_str(), g::GEOIP_MEMORY_CACHE);
    ASSERT_NE(db, nullptr);
    const int us = g::GeoIP_id_by_ipnum(db, 0x08080808);  // 8.8.8.8, host order
    EXPECT_GT(us, 0);
    EXPECT_EQ(std::u16string(g::GeoIP_country_name_by_id(us)), u"United States");
    // Private and loopback addresses have no country.
    EXPECT_EQ(g::GeoIP_id_by_ipnum(db, 0x7f000001), 0);
    EXPECT_EQ(g::GeoIP_id_by_ipnum(db, 0x0a000001), 0);
    g::GeoIP_delete(db);
}

}  // namespace

#include "ovgeoip.h"

#include <GeoIP.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace ov::geoip {

class GeoIPDatabase {
public:
    explicit GeoIPDatabase(::GeoIP* db) noexcept : m_db(db) {}
    ~GeoIPDatabase() { ::GeoIP_delete(m_db); }
    GeoIPDatabase(const GeoIPDatabase&) = delete;
    GeoIPDatabase& operator=(const GeoIPDatabase&) = delete;
    ::GeoIP* Get() const noexcept { return m_db; }

private:
    ::GeoIP* m_db;
};

namespace {

constexpr char kDebianDatabase[] = "/usr/share/GeoIP/GeoIP.dat";

// Wide country names, converted once from the library's UTF-8 table and
// read without a lock afterwards by every worker.
const std::vector<std::u16string>& CountryNames() {
    static const std::vector<std::u16string> names = [] {
        std::vector<std::u16string> v;
        const unsigned count = ::GeoIP_num_countries();
        v.reserve(count);
        for (unsigned id = 0; id < count; ++id) {
            const char* name = ::GeoIP_utf8_country_name[id];
            v.push_back(name ? ov::Utf8ToWide(name) : std::u16string());
        }
        return v;
    }();
    return names;
}

}  // namespace

const char16_t* GeoIP_get_default_db_file() noexcept {
    thread_local std::u16string path;
    try {
        const char* env = std::getenv("OV_GEOIP_DB");
        path = ov::Utf8ToWide(env && *env ? env : kDebianDatabase);
    } catch (const std::bad_alloc&) {
        return u"";
    }
    return path.c_str();
}

GeoIP* GeoIP_open(const char16_t* path, int flags) noexcept {
    if (path == nullptr || *path == 0) {
        return nullptr;
    }
    try {
        const std::string file = ov::WideToUtf8(path);
        // libGeoIP complains on stderr about missing or unreadable files, and
        // an empty one is no database: look first.
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 ||
            ::access(file.c_str(), R_OK) != 0) {
            return nullptr;
        }
        ::GeoIP* db = ::GeoIP_open(file.c_str(), flags);
        if (db == nullptr) {
            return nullptr;
        }
        // Only a country edition answers id lookups.
        const int edition = ::GeoIP_database_edition(db);
        if (edition != GEOIP_COUNTRY_EDITION && edition != GEOIP_LARGE_COUNTRY_EDITION) {
            ::GeoIP_delete(db);
            return nullptr;
        }
        return std::make_unique<GeoIPDatabase>(db).release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int GeoIP_id_by_ipnum(GeoIP* database, std::uint32_t ipnum) noexcept {
    if (database == nullptr) {
        return 0;
    }
    const int id = ::GeoIP_id_by_ipnum(database->Get(), ipnum);
    return id < 0 ? 0 : id;
}

const char16_t* GeoIP_country_name_by_id(int id) noexcept {
    try {
        const auto& names = CountryNames();
        if (id < 0 || static_cast<std::size_t>(id) >= names.size()) {
            return u"";
        }
        return names[static_cast<std::size_t>(id)].c_str();
    } catch (const std::bad_alloc&) {
        return u"";
    }
}

void GeoIP_delete(GeoIP* database) noexcept {
    std::unique_ptr<GeoIPDatabase> owned(database);
}

}  // namespace ov::geoip

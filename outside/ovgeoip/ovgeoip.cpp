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

std::u16string Utf8ToUtf16(const char* text) {
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        char32_t c = *p;
        int extra = 0;
        if (c >= 0xf0 && c < 0xf8) {
            c &= 0x07;
            extra = 3;
        } else if (c >= 0xe0) {
            c &= 0x0f;
            extra = 2;
        } else if (c >= 0xc0) {
            c &= 0x1f;
            extra = 1;
        } else if (c >= 0x80) {
            c = 0xfffd;  // stray continuation byte
        }
        ++p;
        for (; extra > 0; --extra, ++p) {
            if ((*p & 0xc0) != 0x80) {
                c = 0xfffd;
                break;
            }
            c = (c << 6) | (*p & 0x3f);
        }
        if (c >= 0x10000 && c <= 0x10ffff) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xd800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xdc00 + (c & 0x3ff)));
        } else {
            out.push_back(c > 0x10ffff ? u'\xfffd' : static_cast<char16_t>(c));
        }
    }
    return out;
}

std::string Utf16ToUtf8(const char16_t* text) {
    std::string out;
    for (const char16_t* p = text; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xd800 && c < 0xdc00 && p[1] >= 0xdc00 && p[1] < 0xe000) {
            c = 0x10000 + ((c - 0xd800) << 10) + (p[1] - 0xdc00);
            ++p;
        } else if (c >= 0xd800 && c < 0xe000) {
            c = 0xfffd;  // unpaired surrogate
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xc0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xe0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        } else {
            out.push_back(static_cast<char>(0xf0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3f)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3f)));
        }
    }
    return out;
}

// Wide country names, converted once from the library's UTF-8 table and
// read without a lock afterwards by every worker.
const std::vector<std::u16string>& CountryNames() {
    static const std::vector<std::u16string> names = [] {
        std::vector<std::u16string> v;
        const unsigned count = ::GeoIP_num_countries();
        v.reserve(count);
        for (unsigned id = 0; id < count; ++id) {
            const char* name = ::GeoIP_utf8_country_name[id];
            v.push_back(name ? Utf8ToUtf16(name) : std::u16string());
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
        path = Utf8ToUtf16(env && *env ? env : kDebianDatabase);
    } catch (const std::bad_alloc&) {
        return u"";
    }
    return path.c_str();
}

GeoIP* GeoIP_open(const char16_t* path, int flags) noexcept {
    if (path == nullptr || *path == 0)
        return nullptr;
    try {
        const std::string file = Utf16ToUtf8(path);
        // libGeoIP complains on stderr about missing or unreadable files, and
        // an empty one is no database: look first.
        struct stat st{};
        if (::stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 ||
            ::access(file.c_str(), R_OK) != 0)
            return nullptr;
        ::GeoIP* db = ::GeoIP_open(file.c_str(), flags);
        if (db == nullptr)
            return nullptr;
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
    if (database == nullptr)
        return 0;
    const int id = ::GeoIP_id_by_ipnum(database->Get(), ipnum);
    return id < 0 ? 0 : id;
}

const char16_t* GeoIP_country_name_by_id(int id) noexcept {
    try {
        const auto& names = CountryNames();
        if (id < 0 || static_cast<std::size_t>(id) >= names.size())
            return u"";
        return names[static_cast<std::size_t>(id)].c_str();
    } catch (const std::bad_alloc&) {
        return u"";
    }
}

void GeoIP_delete(GeoIP* database) noexcept {
    std::unique_ptr<GeoIPDatabase> owned(database);
}

}  // namespace ov::geoip

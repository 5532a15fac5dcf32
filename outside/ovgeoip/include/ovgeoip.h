#pragma once
// Country database with wide-character text, over the legacy GeoIP country
// edition. Names live in ov::geoip so that they never clash with libGeoIP's
// own C symbols.
#include <cstdint>

namespace ov::geoip {

// An open country database; only pointers to it are handed out.
class GeoIPDatabase;
using GeoIP = GeoIPDatabase;

// Open flag: load the whole database into memory (safe for many threads).
constexpr int GEOIP_MEMORY_CACHE = 1;

// Path of the default country database: $OV_GEOIP_DB when set, otherwise
// Debian's geoip-database file. The text stays valid until the next call.
const char16_t* GeoIP_get_default_db_file() noexcept;
// Opens the database at path; null when it is missing or unreadable.
GeoIP* GeoIP_open(const char16_t* path, int flags) noexcept;
// Country id of an IPv4 address in host byte order (0: unknown).
int GeoIP_id_by_ipnum(GeoIP* database, std::uint32_t ipnum) noexcept;
// Country name of an id; "" for an id outside the table. Never null.
const char16_t* GeoIP_country_name_by_id(int id) noexcept;
// Closes a database opened by GeoIP_open (null is allowed).
void GeoIP_delete(GeoIP* database) noexcept;

}  // namespace ov::geoip

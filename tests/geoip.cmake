# Country database over libGeoIP.
ov_add_test(geoip_test LABELS unit
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/geoip/geoip_test.cpp LIBS ov::geoip)

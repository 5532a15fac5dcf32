# OUI and protocol tables, system utilities of the common library.
if(TARGET ovmfcstd)
  ov_add_test(tables_test LABELS unit
    SOURCES tables/oui_test.cpp tables/ethproto_test.cpp tables/sysutil_test.cpp tables/test_paths.cpp
    LIBS ov::mfcstd ov::platform)
endif()

# OUI and protocol tables, system utilities of the common library.
ov_add_test(tables_test LABELS unit
  SOURCES tables/oui_test.cpp tables/ethproto_test.cpp tables/sysutil_test.cpp tables/test_paths.cpp
  LIBS ov::mfcstd ov::platform)

# A browser engine stand-in under the real engine's file name, kept in a
# folder of its own so that nothing else can pick it up.
add_library(tables_fake_webkit SHARED tables/fake_webkit.cpp)
set_target_properties(tables_fake_webkit PROPERTIES OUTPUT_NAME webkit2gtk-4.1 SOVERSION 0
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/tables_fake_webkit)
add_dependencies(tables_test tables_fake_webkit)
target_compile_definitions(tables_test PRIVATE TABLES_FAKE_WEBKIT="$<TARGET_FILE:tables_fake_webkit>")

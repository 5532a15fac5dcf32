# Registry, code pages and module paths of the platform layer; the outside
# utilities of ovcppstd; the language and path services of ovmui.
ov_add_test(registry_test LABELS unit
  SOURCES registry/registry_test.cpp registry/codepage_test.cpp registry/file_replace_test.cpp
    registry/stored_file_test.cpp
  LIBS ov::platform)

ov_add_test(cppstd_test LABELS unit
  SOURCES registry/cppstd_test.cpp
  LIBS ov::cppstd ov::platform)
# The version the build writes into every program and library.
target_compile_definitions(cppstd_test PRIVATE
  OV_EXPECTED_VERSION_HIGH=${OV_FILE_VERSION_HIGH}u
  OV_EXPECTED_VERSION_LOW=${OV_FILE_VERSION_LOW}u)
# The reader's source is compiled into the target so that it gets coverage.
ov_add_fuzz(fuzz_version_note
  SOURCES registry/fuzz_version_note.cpp ${PROJECT_SOURCE_DIR}/outside/ovcppstd/version_note.cpp
  LIBS ov::platform)

ov_add_test(mui_lang_test LABELS unit
  SOURCES registry/mui_lang_test.cpp
  LIBS ov::mui ov::cppstd ov::platform)

ov_add_fuzz(fuzz_reg_parse
  SOURCES registry/fuzz_reg_parse.cpp ${PROJECT_SOURCE_DIR}/platform/src/registry_format.cpp
  LIBS ov::platform)

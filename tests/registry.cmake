# Registry, code pages and module paths of the platform layer; the outside
# utilities of ovcppstd; the language and path services of ovmui.
ov_add_test(registry_test LABELS unit
  SOURCES registry/registry_test.cpp registry/codepage_test.cpp
  LIBS ov::platform)

if(TARGET ov_cppstd)
  ov_add_test(cppstd_test LABELS unit
    SOURCES registry/cppstd_test.cpp
    LIBS ov::cppstd ov::platform)
  # The version the build writes into every program and library.
  target_compile_definitions(cppstd_test PRIVATE
    OV_EXPECTED_VERSION_HIGH=${OV_FILE_VERSION_HIGH}u
    OV_EXPECTED_VERSION_LOW=${OV_FILE_VERSION_LOW}u)
  ov_add_fuzz(fuzz_version_note SOURCES registry/fuzz_version_note.cpp LIBS ov::cppstd ov::platform)
endif()

if(TARGET ovmui AND TARGET ov_cppstd)
  ov_add_test(mui_lang_test LABELS unit
    SOURCES registry/mui_lang_test.cpp
    LIBS ov::mui ov::cppstd ov::platform)
endif()

# XML cursor parser, string tables, message formatter and language modules.
ov_add_test(strings_xml_test LABELS unit
  SOURCES strings/xml_parser_test.cpp
  LIBS ov::nlib ov::platform)

ov_add_test(strings_table_test LABELS unit
  SOURCES strings/stringtable_test.cpp
  LIBS ov::mui ov::platform)

# The flag is read when the library loads, so this program loads it itself.
ov_add_test(strings_muiflag_test LABELS unit
  SOURCES strings/muiflag_test.cpp
  LIBS ov::platform ${CMAKE_DL_LIBS})
add_dependencies(strings_muiflag_test ovmui)

# The formatter over a language module whose texts lack placeholders.
ov_add_test(strings_msgfmt_test LABELS unit
  SOURCES strings/msgfmt_test.cpp strings/translations_test.cpp
  LIBS ov::msgfmt ov::mui ov::cppstd ov::platform)
target_compile_definitions(strings_msgfmt_test PRIVATE OV_FAKE_RES_PATH="$<TARGET_FILE:strings_fake_res>"
  OV_FILE_VERSION_HIGH=${OV_FILE_VERSION_HIGH} OV_FILE_VERSION_LOW=${OV_FILE_VERSION_LOW})
add_dependencies(strings_msgfmt_test strings_fake_res ov_mui_modules)

# Fuzz targets: arbitrary table texts and table files against the program's
# own default texts.
ov_add_fuzz(fuzz_strtable_text SOURCES strings/fuzz_strtable_text.cpp strings/fuzz_defaults.cpp
  LIBS ov::mui ov::msgfmt ov::platform)
ov_add_fuzz(fuzz_strtable_file SOURCES strings/fuzz_strtable_file.cpp strings/fuzz_defaults.cpp
  LIBS ov::mui ov::msgfmt ov::platform)

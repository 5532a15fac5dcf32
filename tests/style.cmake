# The C++ sources follow .clang-format (scripts/format.sh formats them).
find_program(OV_CLANG_FORMAT_16 clang-format-16)
if(OV_CLANG_FORMAT_16)
  add_test(NAME sources_formatted COMMAND ${PROJECT_SOURCE_DIR}/scripts/format.sh --check)
  set_tests_properties(sources_formatted PROPERTIES LABELS unit)
endif()

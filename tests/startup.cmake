# Start-up without a window: installer modes (the program as a child process
# on a registry of its own), tool registration, language module checks, and
# the crash reporter (children that crash).
# A language module whose version differs from the program's in the low part.
math(EXPR OV_OTHER_LOW "${OV_FILE_VERSION_LOW} + 1")
add_library(startup_other_res MODULE startup/other_version_res.cpp)
target_compile_definitions(startup_other_res PRIVATE
  OV_OTHER_HIGH=${OV_FILE_VERSION_HIGH} OV_OTHER_LOW=${OV_OTHER_LOW})
set_target_properties(startup_other_res PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} PREFIX "" OUTPUT_NAME startup_other_res)

ov_add_test(startup_test LABELS unit
  SOURCES startup/setupmode_test.cpp startup/toolreg_test.cpp startup/crash_test.cpp
  LIBS ov::startup ov::msgfmt ov::mui ov::coder ov::crash ov::cppstd ov::platform)
target_include_directories(startup_test PRIVATE ${PROJECT_SOURCE_DIR}/app/shell/startup)
target_compile_definitions(startup_test PRIVATE
  OV_OTHER_VERSION_RES="$<TARGET_FILE:startup_other_res>"
  OV_FAKE_RES_PATH="$<TARGET_FILE:strings_fake_res>")
# The crash reports name the program's version.
ov_add_version_note(startup_test)
add_dependencies(startup_test tapper ov_mui_modules startup_other_res strings_fake_res)

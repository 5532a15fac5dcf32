# Start-up without a window: installer modes (the program as a child process
# on a registry of its own), tool registration, language module checks, and
# the crash reporter (children that crash).
ov_add_test(startup_test LABELS unit
  SOURCES startup/setupmode_test.cpp startup/toolreg_test.cpp startup/crash_test.cpp
  LIBS ov::startup ov::msgfmt ov::mui ov::coder ov::crash ov::cppstd ov::platform)
target_compile_definitions(startup_test PRIVATE
  OV_OTHER_VERSION_RES="$<TARGET_FILE:startup_other_res>"
  OV_FAKE_RES_PATH="$<TARGET_FILE:strings_fake_res>")
# The crash reports name the program's version.
ov_add_version_note(startup_test)
add_dependencies(startup_test tapper ov_mui_modules startup_other_res strings_fake_res)

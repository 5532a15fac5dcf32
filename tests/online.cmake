# Web addresses, help books, HTTP answers and the updater's answer and memory
# (no window); the fetch, the HTML view with its page bounds and the update
# check against loopback servers.

ov_add_test(online_test LABELS unit
  SOURCES online/address_test.cpp online/help_book_test.cpp online/update_answer_test.cpp
    online/http_reply_reader_test.cpp
  LIBS ov::online ov::updateanswer ov::httpfetch ov::coder ov::platform)
target_compile_definitions(online_test PRIVATE OV_TEST_WEB_BASE="${OV_WEB_BASE}"
  OV_SOURCE_MUI="${PROJECT_SOURCE_DIR}/mui")
add_dependencies(online_test ov_mui_docs)

ov_add_test(online_gui_test LABELS gui
  SOURCES online/html_view_test.cpp online/update_check_test.cpp
    online/http_fetch_test.cpp online/page_limits_test.cpp
  LIBS ov_test_loopback ov_test_flood ov::htmlview ov::pagelimits ov::update ov::msgfmt ov::platform Qt6::Test)
target_compile_definitions(online_gui_test PRIVATE OV_SOURCE_MUI="${PROJECT_SOURCE_DIR}/mui")

# Arbitrary answers of the update server.
ov_add_fuzz(fuzz_update_answer SOURCES fuzz_update_answer.cpp LIBS ov::updateanswer)
# Arbitrary markup for the HTML view's page bounds, timed.
ov_add_fuzz(fuzz_page_limits SOURCES fuzz_page_limits.cpp LIBS ov::pagelimits)
# Arbitrary bytes as an HTTP answer, in pieces.
ov_add_fuzz(fuzz_http_reply SOURCES fuzz_http_reply.cpp LIBS ov::httpfetch)

# The committed help pages are what their generator makes of the texts.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
  add_test(NAME help_pages_generated
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/mui/tools/helpbook.py --check)
  set_tests_properties(help_pages_generated PROPERTIES LABELS unit)
endif()

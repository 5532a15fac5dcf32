# Ping run document, settings, command line, view texts (unit) and the
# console mode run end to end (net: 127.0.0.1; netns: our responder).
set(OV_DOC_TESTS ${CMAKE_CURRENT_LIST_DIR}/doc)

ov_add_test(doc_test LABELS unit
  SOURCES ${OV_DOC_TESTS}/cmdline_test.cpp ${OV_DOC_TESTS}/document_test.cpp
          ${OV_DOC_TESTS}/settings_test.cpp ${OV_DOC_TESTS}/text_test.cpp
  LIBS ov::console ov_test_fakeicmp ov::engine ov::viewtext ov::msgfmt ov::platform)

ov_add_test(doc_console_net_test LABELS net
  SOURCES ${OV_DOC_TESTS}/console_net_test.cpp ${OV_DOC_TESTS}/console_run.cpp
  LIBS ov::engine ov::platform)
add_dependencies(doc_console_net_test tapper)

ov_add_test(doc_console_netns_test LABELS netns TIMEOUT 600
  SOURCES ${OV_DOC_TESTS}/console_netns_test.cpp ${OV_DOC_TESTS}/console_run.cpp
  LIBS ov_test_netns ov::platform)
add_dependencies(doc_console_netns_test tapper)

# The console mode's options, figures, output formats, host states with their
# commands and the results export over the fake provider.
ov_add_test(doc_console_format_test LABELS unit
  SOURCES ${OV_DOC_TESTS}/console_format_test.cpp ${OV_DOC_TESTS}/console_export_test.cpp
          ${OV_DOC_TESTS}/console_alert_test.cpp
  LIBS ov::console ov_test_fakeicmp ov::engine ov::viewtext ov::msgfmt ov::platform)

# The window version's application object in this process (gui): start-up
# with its language checks, command line and ICMP failure on a registry of
# its own and the fake ICMP provider; help, web and update commands; the
# About box; the online resource pane against the loopback HTTP server.
ov_add_test(shell_gui_test LABELS gui
  SOURCES shell/tapperapp_test.cpp shell/online_view_test.cpp
  LIBS ov_test_loopback ov_test_fakeicmp ov::tapperapp ov::mainframe ov::mui ov::platform Qt6::Test)
target_compile_definitions(shell_gui_test PRIVATE OV_TEST_WEB_BASE="${OV_WEB_BASE}"
  OV_OTHER_VERSION_RES="$<TARGET_FILE:startup_other_res>")
add_dependencies(shell_gui_test tapper ov_mui_modules ov_mui_docs startup_other_res)

# ov_app_shot <folder> [en|<code>...]: the About box, the language-check
# message boxes, the help window, the online pane with its local page and
# the update dialogs, as PNG pictures per language.
add_executable(ov_app_shot tools/app_shot.cpp)
target_link_libraries(ov_app_shot PRIVATE ov_test_shots ov::tapperapp ov::startup Qt6::Widgets Qt6::Network)
add_dependencies(ov_app_shot ov_mui_modules ov_mui_docs)

# The window version ending while a name lookup hangs: the program's window
# mode in a child process with a resolver of its own (root: mount namespace).
ov_add_test(window_exit_test LABELS netns
  SOURCES shell/window_exit_test.cpp
  LIBS ov::tapperapp ov::coder ov::platform Qt6::Widgets)
add_dependencies(window_exit_test tapper)

# The main window driven offscreen over the scripted ICMP provider (gui).
ov_add_test(mainframe_gui_test LABELS gui
  SOURCES mainframe/mainframe_test.cpp mainframe/file_commands_test.cpp mainframe/run_start_test.cpp
  LIBS ov_test_guimain ov_test_fakeicmp ov::mainframe ov::views ov::engine ov::msgfmt ov::platform Qt6::Test)
set_property(TEST mainframe_gui_test APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
add_dependencies(mainframe_gui_test ov_mui_modules)

# scripts/screenshots.sh runs it for every language.
add_executable(ov_mainframe_shot ${CMAKE_CURRENT_LIST_DIR}/tools/mainframe_shot.cpp)
target_link_libraries(ov_mainframe_shot PRIVATE ov_test_fakeicmp ov::mainframe ov::msgfmt ov::platform Qt6::Widgets)
add_dependencies(ov_mainframe_shot ov_mui_modules)

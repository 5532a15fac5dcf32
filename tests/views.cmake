# Windows of the log list, the statistics tree and the chart, and the UI library under
# them, driven as real widgets on the offscreen platform (gui).
set(OV_VIEWS_TESTS ${CMAKE_CURRENT_LIST_DIR}/views)

# scripts/screenshots.sh runs it for every language.
add_executable(ov_screenshots ${CMAKE_CURRENT_LIST_DIR}/tools/screenshots.cpp)
target_link_libraries(ov_screenshots PRIVATE ov_test_viewhost ov::msgfmt)
add_dependencies(ov_screenshots ov_mui_modules)

ov_add_test(views_gui_test LABELS gui
  SOURCES ${OV_VIEWS_TESTS}/ovui_test.cpp
          ${OV_VIEWS_TESTS}/loglist_test.cpp ${OV_VIEWS_TESTS}/stattree_test.cpp
          ${OV_VIEWS_TESTS}/chart_test.cpp
  LIBS ov_test_guimain ov_test_viewhost Qt6::Test)
set_property(TEST views_gui_test APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)

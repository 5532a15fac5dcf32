# Chart control of the outside UI library, driven as a widget offscreen.
ov_add_test(chart_test LABELS gui
  SOURCES chart/chart_ctrl_test.cpp
  LIBS ov::chart Qt6::Test)
# The point buffer is checked on its own as well.
target_include_directories(chart_test PRIVATE ${PROJECT_SOURCE_DIR}/outside/ovui/chart)

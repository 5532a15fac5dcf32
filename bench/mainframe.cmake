# The whole main window offscreen during a long run of many loopback hosts:
# process CPU and the GUI thread's longest stall.
add_executable(mainframe_bench ${CMAKE_CURRENT_LIST_DIR}/mainframe/mainframe_bench.cpp)
target_link_libraries(mainframe_bench PRIVATE ov::common ov::mainframe ov::engine ov::platform Qt6::Widgets)
# The console mode it runs beside the window is the program next to it.
if(TARGET tapper)
  add_dependencies(mainframe_bench tapper)
endif()

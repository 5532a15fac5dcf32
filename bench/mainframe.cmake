# The whole main window offscreen with many loopback hosts: during a long run
# (process CPU and the GUI thread's longest stall) and while a large run
# starts, stops and starts again (stalls, time to every host's first outcome).
add_executable(mainframe_bench ${CMAKE_CURRENT_LIST_DIR}/mainframe/mainframe_bench.cpp)
target_link_libraries(mainframe_bench PRIVATE ov::common ov::mainframe ov::engine ov::platform Qt6::Widgets Qt6::Test)
# The console mode it runs beside the window is the program next to it.
if(TARGET tapper)
  add_dependencies(mainframe_bench tapper)
endif()

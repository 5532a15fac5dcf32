# The HTML view's longest step on hostile pages and pages at its bounds, and
# the peak memory of fetches whose answers never end (offscreen, loopback).
add_executable(online_bench ${CMAKE_CURRENT_LIST_DIR}/online/online_bench.cpp
  ${PROJECT_SOURCE_DIR}/tests/support/flood_server.cpp)
target_include_directories(online_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_link_libraries(online_bench PRIVATE ov::common ov::htmlview ov::pagelimits ov::updateanswer Qt6::Widgets)

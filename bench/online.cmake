# The HTML view's longest step on hostile pages and pages at its bounds, and
# the peak memory of fetches whose answers never end (offscreen, loopback).
add_executable(online_bench ${CMAKE_CURRENT_LIST_DIR}/online/online_bench.cpp)
target_link_libraries(online_bench PRIVATE ov_test_flood ov::common ov::htmlview ov::pagelimits ov::updateanswer Qt6::Widgets)

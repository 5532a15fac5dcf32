# The log list and the statistics tree under load on the offscreen platform:
# a refresh tick and a rebuild of 1000 hosts, one new event in a full log
# list with 100 selected rows (beside a walk over every row), and memory over
# 100 000 events. Hosts answer through the fake ICMP provider.
add_executable(views_bench ${CMAKE_CURRENT_LIST_DIR}/views/views_bench.cpp)
target_link_libraries(views_bench PRIVATE ov_test_fakeicmp ov::common ov::views ov::engine ov::platform benchmark::benchmark)

# Probe engine under load: N loopback hosts through the ping run document;
# bench/engine_vs_fping.sh runs it beside fping.
add_executable(engine_hosts_bench ${CMAKE_CURRENT_LIST_DIR}/engine/engine_hosts_bench.cpp)
target_link_libraries(engine_hosts_bench PRIVATE ov::common ov::engine ov::platform)

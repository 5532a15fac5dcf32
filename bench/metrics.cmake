# The probe's exposition of many hosts, without probing: its size and how
# long the registry takes to collect and write it.
find_package(prometheus-cpp CONFIG REQUIRED)
add_executable(metrics_exposition_bench ${CMAKE_CURRENT_LIST_DIR}/metrics/metrics_exposition_bench.cpp)
target_link_libraries(metrics_exposition_bench PRIVATE ov::common ov::metrics ov::engine benchmark::benchmark
  prometheus-cpp::core)

# The probe's metrics: option texts, series and their exposition (unit), the
# probe end to end on 127.0.0.x (net), and a real Prometheus server scraping
# it (net, prometheus).
set(OV_METRICS_TESTS ${CMAKE_CURRENT_LIST_DIR}/metrics)
find_package(ZLIB REQUIRED)

ov_add_test(metrics_test LABELS unit
  SOURCES ${OV_METRICS_TESTS}/probe_metrics_test.cpp ${OV_METRICS_TESTS}/exposition_reader.cpp
  LIBS ov::metrics ov::console ov::engine ov::platform)

ov_add_test(metrics_probe_net_test LABELS net
  SOURCES ${OV_METRICS_TESTS}/probe_net_test.cpp ${OV_METRICS_TESTS}/exposition_reader.cpp
          ${OV_METRICS_TESTS}/http_client.cpp ${CMAKE_CURRENT_LIST_DIR}/doc/console_run.cpp
  LIBS ov::engine ov::platform ZLIB::ZLIB)
add_dependencies(metrics_probe_net_test tapper)

ov_add_test(metrics_prometheus_test LABELS net prometheus
  SOURCES ${OV_METRICS_TESTS}/prometheus_test.cpp ${OV_METRICS_TESTS}/http_client.cpp
          ${CMAKE_CURRENT_LIST_DIR}/doc/console_run.cpp
  LIBS ov::engine ov::platform)
add_dependencies(metrics_prometheus_test tapper)

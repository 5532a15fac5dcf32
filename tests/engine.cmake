# Probe engine: event ring, events, ICMP binding and host probes, all driven
# through the scripted ICMP provider and a replaceable name resolver.
set(OV_ENGINE_TESTS ${CMAKE_CURRENT_LIST_DIR}/engine)

ov_add_test(engine_test LABELS unit
  SOURCES
    ${OV_ENGINE_TESTS}/event_test.cpp
    ${OV_ENGINE_TESTS}/event_ring_test.cpp
    ${OV_ENGINE_TESTS}/ping_services_test.cpp
    ${OV_ENGINE_TESTS}/host_probe_test.cpp
    ${OV_ENGINE_TESTS}/host_state_test.cpp
  LIBS ov_test_fakeicmp ov::engine ov::platform)

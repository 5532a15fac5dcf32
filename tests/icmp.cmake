# ICMP echo providers: packet checks (unit), real echoes to 127.0.0.1 (net),
# and echoes to our own responder inside network namespaces (netns).
set(OV_ICMP_TESTS ${CMAKE_CURRENT_LIST_DIR}/icmp)

ov_add_test(icmp_packet_test LABELS unit
  SOURCES ${OV_ICMP_TESTS}/packet_test.cpp LIBS ov::platform)
ov_add_test(icmp_net_test LABELS net
  SOURCES ${OV_ICMP_TESTS}/net_test.cpp LIBS ov::platform)

ov_add_test(icmp_netns_test LABELS netns TIMEOUT 600
  SOURCES ${OV_ICMP_TESTS}/netns_test.cpp
  LIBS ov_test_netns ov::platform)

# Host probes over the real providers, in the same namespace test bed.
ov_add_test(engine_netns_test LABELS netns TIMEOUT 600
  SOURCES ${OV_ICMP_TESTS}/engine_netns_test.cpp
  LIBS ov_test_netns ov::engine ov::platform)

ov_add_fuzz(fuzz_icmp_packet SOURCES ${OV_ICMP_TESTS}/fuzz_icmp_packet.cpp LIBS ov::platform)

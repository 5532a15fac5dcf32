# Host list files: parsing, reading and writing (unit).
ov_add_test(hostlist_test LABELS unit
  SOURCES hostlist/host_list_test.cpp
  LIBS ov::hostlist ov::msgfmt ov::platform)

# XML document manager against pugixml: parse and write generated documents
# of 10 and 20 MiB; prints the parse-time ratios at the end.
find_package(pugixml REQUIRED)
add_executable(xml_bench ${CMAKE_CURRENT_LIST_DIR}/xml/xml_bench.cpp)
target_link_libraries(xml_bench PRIVATE ov::common ov::mfcstd benchmark::benchmark pugixml::pugixml)

# XML document manager of the common library: cursors, paths, the parser's
# accepted and refused texts, the writer's formats and the file encodings.
ov_add_test(xml_test LABELS unit
SOURCES xml/xml_cursor_test.cpp xml/xml_text_test.cpp xml/xml_file_test.cpp
        xml/xml_alloc_test.cpp
LIBS ov::mfcstd ov::platform)

ov_add_fuzz(fuzz_xml SOURCES xml/fuzz_xml.cpp LIBS ov::mfcstd ov::platform)

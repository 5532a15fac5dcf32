# The main window driven offscreen over the scripted ICMP provider (gui).
ov_add_test(mainframe_gui_test LABELS gui
  SOURCES views/gui_main.cpp mainframe/mainframe_test.cpp ${CMAKE_CURRENT_LIST_DIR}/support/fake_icmp.cpp
  LIBS ov::mainframe ov::views ov::engine ov::msgfmt ov::platform Qt6::Test)
set_property(TEST mainframe_gui_test APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)

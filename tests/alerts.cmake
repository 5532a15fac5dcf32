# The window's alerts: host states in the tree and the tray, the alert dialog
# (gui), and desktop notifications to a notification server of the test's
# own on a private session bus that the test starts (gui, dbus).
set(OV_ALERTS_TESTS ${CMAKE_CURRENT_LIST_DIR}/alerts)

ov_add_test(alerts_gui_test LABELS gui
  SOURCES ${OV_ALERTS_TESTS}/alerts_test.cpp
  LIBS ov_test_guimain ov_test_viewhost ov::alerts ov::msgfmt Qt6::Test)
set_property(TEST alerts_gui_test APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
add_dependencies(alerts_gui_test ov_mui_modules)

ov_add_test(alerts_dbus_test LABELS gui dbus
  SOURCES ${OV_ALERTS_TESTS}/notify_test.cpp
  LIBS ov_test_guimain ov_test_viewhost ov::alerts ov::mainframe ov::msgfmt Qt6::DBus Qt6::Test)
set_target_properties(alerts_dbus_test PROPERTIES AUTOMOC ON)
set_property(TEST alerts_dbus_test APPEND PROPERTY ENVIRONMENT QT_QPA_PLATFORM=offscreen)
add_dependencies(alerts_dbus_test ov_mui_modules)

# ov_alerts_shot <folder> [en|<code>...]: the alert dialog, the tree with a
# down host and the tray menu per language (scripts/screenshots.sh).
add_executable(ov_alerts_shot ${CMAKE_CURRENT_LIST_DIR}/tools/alerts_shot.cpp)
target_link_libraries(ov_alerts_shot PRIVATE ov_test_shots ov_test_viewhost ov::alerts ov::msgfmt Qt6::Widgets)
add_dependencies(ov_alerts_shot ov_mui_modules)

# The option dialog, offscreen (gui); the program that grabs it as pictures.
ov_add_test(options_dialog_test LABELS gui
  SOURCES options/optiondlg_test.cpp
  LIBS ov_test_fakeicmp ov::optiondlg ov::engine ov::msgfmt ov::platform Qt6::Test)
add_dependencies(options_dialog_test ov_mui_modules)

# ov_optiondlg_shot <folder> [en|<code>...]: optiondlg-<code>.png per language.
add_executable(ov_optiondlg_shot tools/optiondlg_shot.cpp)
target_link_libraries(ov_optiondlg_shot PRIVATE ov_test_shots ov::common ov::optiondlg ov::engine ov::msgfmt Qt6::Widgets)
add_dependencies(ov_optiondlg_shot ov_mui_modules)

# The installed program folder (label install): cmake --install into a
# temporary DESTDIR, then its layout, RUNPATH, a console run, the installer
# modes and maintainer scripts, the desktop entry and the metainfo.
ov_add_test(install_test LABELS install TIMEOUT 600
  SOURCES install/install_test.cpp
  LIBS ov::engine ov::platform)
target_compile_definitions(install_test PRIVATE
  OV_CMAKE_COMMAND="${CMAKE_COMMAND}"
  OV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  OV_BUILD_DIR="${PROJECT_BINARY_DIR}"
  OV_INSTALL_PREFIX="${CMAKE_INSTALL_PREFIX}"
  OV_SYSTEM_PREFIX="${OV_INSTALL_SYSTEM_PREFIX}"
  OV_APP_ID="${OV_APP_ID}"
  OV_DEB_SCRIPTS_DIR="${PROJECT_BINARY_DIR}/packaging/deb")
add_dependencies(install_test ov_installed)

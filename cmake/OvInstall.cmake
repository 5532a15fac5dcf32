# Installation and the Debian package.
#
# The program lives in one folder, the install prefix (default
# /opt/orvantek/tapper):
#   tapper, libovmui.so, libovmfcstd.so, libovcoder.so, libovplatform.so
#   OUI.dat, EtherProto.dat           beside the common library
#   mui/<code>/OvPingRes.so           language module, when the language has a string table
#   mui/<code>/help/, mui/<code>/Website/tapper.html
# Everything finds its libraries through a RUNPATH of $ORIGIN, so the folder
# works wherever it is put. The desktop sees the program through files below
# OV_INSTALL_SYSTEM_PREFIX (/usr/local for a plain install, /usr in the
# package): bin/tapper (a symbolic link to the program), the desktop entry,
# the icon in the hicolor theme and the AppStream metainfo.
include_guard(GLOBAL)

# Build trees configured before these rules existed hold CMake's default
# prefix; they move to the program folder once, like new trees.
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT OR
   (NOT DEFINED CACHE{OV_INSTALL_PREFIX_CHOSEN} AND CMAKE_INSTALL_PREFIX STREQUAL "/usr/local"))
  set(CMAKE_INSTALL_PREFIX /opt/orvantek/tapper CACHE PATH "The program's folder" FORCE)
endif()
set(OV_INSTALL_PREFIX_CHOSEN ON CACHE INTERNAL "The install prefix has been chosen")
set(OV_INSTALL_SYSTEM_PREFIX /usr/local CACHE PATH
    "Where the launcher, the desktop entry, the icons and the metainfo go (/usr in the Debian package)")

set(OV_APP_ID com.orvantek.Tapper)
set(OV_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
set(OV_SHARE_DIR ${OV_INSTALL_SYSTEM_PREFIX}/share)

# The program and its shared libraries.
set(OV_INSTALLED_BINARIES tapper ovmui ovmfcstd ovcoder ov_platform)
set_target_properties(${OV_INSTALLED_BINARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${OV_INSTALLED_BINARIES}
  RUNTIME DESTINATION .
  LIBRARY DESTINATION .)

# Data files of the common library, generated beside it in the build.
install(FILES $<TARGET_FILE_DIR:ovmfcstd>/EtherProto.dat DESTINATION .)
if(EXISTS ${OV_OUI_SOURCE})
  install(FILES $<TARGET_FILE_DIR:ovmfcstd>/OUI.dat DESTINATION .)
endif()

# Language modules: one per mui/<code>/OvPingRes.xml, built by mui/.
file(GLOB OV_INSTALL_TABLES ${PROJECT_SOURCE_DIR}/mui/*/OvPingRes.xml)
foreach(table IN LISTS OV_INSTALL_TABLES)
  get_filename_component(dir ${table} DIRECTORY)
  get_filename_component(code ${dir} NAME)
  install(TARGETS ovpingres_${code} LIBRARY DESTINATION mui/${code})
endforeach()

# Help books and offline pages, from the copies the build puts beside the
# program (bin/mui/<code>/...); the source tree says which files there are.
file(GLOB_RECURSE OV_INSTALL_DOCS LIST_DIRECTORIES false RELATIVE ${PROJECT_SOURCE_DIR}/mui
  ${PROJECT_SOURCE_DIR}/mui/*/help/* ${PROJECT_SOURCE_DIR}/mui/*/Website/*)
foreach(rel IN LISTS OV_INSTALL_DOCS)
  get_filename_component(reldir ${rel} DIRECTORY)
  install(FILES ${PROJECT_BINARY_DIR}/bin/mui/${rel} DESTINATION mui/${reldir})
endforeach()

# The launcher: a symbolic link in the system's program path, made at install
# time so that it follows the prefix and DESTDIR of that install.
install(CODE "
  set(ov_link \"\$ENV{DESTDIR}${OV_INSTALL_SYSTEM_PREFIX}/bin/tapper\")
  file(MAKE_DIRECTORY \"\$ENV{DESTDIR}${OV_INSTALL_SYSTEM_PREFIX}/bin\")
  message(STATUS \"Installing: \${ov_link} -> \${CMAKE_INSTALL_PREFIX}/tapper\")
  file(CREATE_LINK \"\${CMAKE_INSTALL_PREFIX}/tapper\" \"\${ov_link}\" SYMBOLIC)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${ov_link}\")
")

# The licence, where Debian looks for it.
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${OV_SHARE_DIR}/doc/tapper RENAME copyright)
# The manual page, compressed as Debian keeps them.
set(OV_MANPAGE_GZ ${PROJECT_BINARY_DIR}/packaging/tapper.1.gz)
add_custom_command(OUTPUT ${OV_MANPAGE_GZ}
  COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh ${PROJECT_SOURCE_DIR}/app/shell/tapper.1 ${OV_MANPAGE_GZ}
  DEPENDS ${PROJECT_SOURCE_DIR}/app/shell/tapper.1
  VERBATIM)
add_custom_target(ov_manpage ALL DEPENDS ${OV_MANPAGE_GZ})
install(FILES ${OV_MANPAGE_GZ} DESTINATION ${OV_SHARE_DIR}/man/man1)

# Desktop entry and AppStream metainfo (its web addresses from OV_WEB_BASE,
# the program's web site, app/shell/online).
install(FILES ${OV_PACKAGING_DIR}/${OV_APP_ID}.desktop DESTINATION ${OV_SHARE_DIR}/applications)
configure_file(${OV_PACKAGING_DIR}/${OV_APP_ID}.metainfo.xml.in
  ${PROJECT_BINARY_DIR}/packaging/${OV_APP_ID}.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/${OV_APP_ID}.metainfo.xml
  DESTINATION ${OV_SHARE_DIR}/metainfo)

# The icon: the SVG as drawn, and PNG renderings of it for the fixed sizes.
set(OV_ICON_SVG ${OV_PACKAGING_DIR}/${OV_APP_ID}.svg)
install(FILES ${OV_ICON_SVG} DESTINATION ${OV_SHARE_DIR}/icons/hicolor/scalable/apps)
set(OV_ICON_SIZES 16 22 24 32 48 64 128 256)
find_program(OV_RSVG_CONVERT rsvg-convert)
if(OV_RSVG_CONVERT)
  set(OV_ICON_PNGS)
  foreach(size IN LISTS OV_ICON_SIZES)
    set(png ${PROJECT_BINARY_DIR}/packaging/icons/${size}x${size}/${OV_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging/icons/${size}x${size}
      COMMAND ${OV_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${OV_ICON_SVG}
      DEPENDS ${OV_ICON_SVG}
      VERBATIM)
    list(APPEND OV_ICON_PNGS ${png})
    install(FILES ${png} DESTINATION ${OV_SHARE_DIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(ov_icons ALL DEPENDS ${OV_ICON_PNGS})
else()
  message(WARNING "rsvg-convert not found (install librsvg2-bin): only the scalable icon is installed")
  add_custom_target(ov_icons)
endif()

# The probe as a service, disabled until the administrator enables it, with
# its hosts and options under /etc (kept as configuration files by the package).
set(OV_PROGRAM_DIR ${CMAKE_INSTALL_PREFIX})
configure_file(${OV_PACKAGING_DIR}/tapper-probe.service.in
  ${PROJECT_BINARY_DIR}/packaging/tapper-probe.service @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/packaging/tapper-probe.service
  DESTINATION ${OV_INSTALL_SYSTEM_PREFIX}/lib/systemd/system)
install(FILES ${OV_PACKAGING_DIR}/tapper-probe.hosts DESTINATION /etc/tapper RENAME hosts)
install(FILES ${OV_PACKAGING_DIR}/tapper-probe.default DESTINATION /etc/default RENAME tapper-probe)

# Everything the install rules above take from the build: ninja ov_installed
add_custom_target(ov_installed DEPENDS
  ${OV_INSTALLED_BINARIES} ov_mui_modules ov_mui_docs ovmfcstd_data ov_icons)

# Maintainer scripts of the package: registration after installation, removal
# before removal, clean-up of what the registration wrote.
set(OV_DEB_SCRIPTS)
foreach(script postinst prerm postrm)
  configure_file(${OV_PACKAGING_DIR}/deb/${script}.in ${PROJECT_BINARY_DIR}/packaging/deb/${script}
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
  list(APPEND OV_DEB_SCRIPTS ${PROJECT_BINARY_DIR}/packaging/deb/${script})
endforeach()

# The Debian package (scripts/package.sh): tapper_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tapper)
set(CPACK_PACKAGE_VENDOR Orvantek)
set(CPACK_PACKAGE_CONTACT "Orvantek <support@orvantek.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "network ping tool with a live response-time chart")
set(CPACK_PACKAGE_DESCRIPTION
  "Tapper pings one or more hosts at once with the data size, time-to-live,
type of service, flags and timeout you choose. A log list, a statistics tree
and a response-time chart show the run as it goes; a console mode prints the
same lines without a window, and as a service (tapper-probe) it serves
response-time histograms and counters per host to Prometheus. ICMP is sent through unprivileged datagram
sockets (net.ipv4.ping_group_range), so the program needs no privilege.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
# The desktop files and the launcher have absolute destinations; a DESTDIR
# install puts them into the package instead of onto the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${OV_WEB_BASE}/tapper/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Our own libraries resolve to the package's files through RUNPATH $ORIGIN.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_INSTALL_PREFIX})
# Read at run time, not linked: the country database, a CJK font for Chinese
# texts, and Qt's SVG plugins for the pictures.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "geoip-database, fonts-wqy-microhei, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${OV_DEB_SCRIPTS} ${OV_PACKAGING_DIR}/deb/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

# Install rules and the Debian packages (CPack DEB, one package per component):
#   vnd-server: the server, its systemd unit, configuration file and man page;
#   vnd-host:   the desktop host, the framework libraries and every screen module, the
#               menu entry and icon, and the man page;
#   vnd-till:   the till replica, its systemd unit, configuration file and man page (a till
#               machine needs no server).
# Binaries find the project's libraries relative to themselves ($ORIGIN), so an unpacked
# tree runs wherever it is put. scripts/package builds the packages from a release build.
include(GNUInstallDirs)

# Everything of the host lives in its own folder, so that nothing clashes with the
# system's libraries: the framework in lib/vnd/lib, the screen modules in
# lib/vnd/modules. Neither is a folder ldconfig looks in, so the package needs no
# maintainer scripts for it.
set(VND_LIB_DIR lib/vnd/lib)
set(VND_MODULE_DIR lib/vnd/modules)
# Debian's /usr prefix puts the configuration in /etc and units in /lib/systemd/system;
# any other prefix keeps them under itself.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(VND_ETC_DIR /etc)
  set(VND_UNIT_DIR /lib/systemd/system)
else()
  set(VND_ETC_DIR ${CMAKE_INSTALL_SYSCONFDIR})
  set(VND_UNIT_DIR lib/systemd/system)
endif()
set(VND_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

# Man pages: written from their templates and the programs' own --help (packaging/manpage),
# so that the commands and options they list are the ones the programs have; shipped
# compressed, as Debian's policy asks (-n keeps the build reproducible).
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VND_MAN_PAGES "")
foreach(page vnd-server vnd-host vnd-till)
  if(NOT TARGET ${page})
    continue()
  endif()
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${VND_PACKAGING}/manpage $<TARGET_FILE:${page}> ${VND_PACKAGING}/${page}.1.in
      ${CMAKE_BINARY_DIR}/man/${page}.1
    COMMAND ${GZIP_PROGRAM} -9 -n -f ${CMAKE_BINARY_DIR}/man/${page}.1
    DEPENDS ${page} ${VND_PACKAGING}/${page}.1.in ${VND_PACKAGING}/manpage
    COMMENT "Writing the man page of ${page} from its --help" VERBATIM)
  list(APPEND VND_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz
  COMMAND ${GZIP_PROGRAM} -9 -n -c ${VND_PACKAGING}/changelog > ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz
  DEPENDS ${VND_PACKAGING}/changelog VERBATIM)
add_custom_target(vnd_man_pages ALL DEPENDS ${VND_MAN_PAGES} ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz)

# --- vnd-server ---
if(TARGET vnd-server)
  install(TARGETS vnd-server RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT server)
  # No secret lives in it (the token and the database password have files of their
  # own), so it is readable like any configuration.
  install(FILES ${VND_PACKAGING}/vnd-server.conf DESTINATION ${VND_ETC_DIR}/vnd-server
    COMPONENT server)
  install(FILES ${VND_PACKAGING}/vnd-server.service DESTINATION ${VND_UNIT_DIR} COMPONENT server)
  install(FILES ${CMAKE_BINARY_DIR}/man/vnd-server.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT server)
  install(FILES ${VND_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vnd-server COMPONENT server)
  # The operations guide's example files of a chain's data, one per kind `import` reads.
  file(GLOB VND_EXAMPLE_FILES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/exemplos/*.csv)
  install(FILES ${VND_EXAMPLE_FILES}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vnd-server/exemplos COMPONENT server)
endif()

# --- vnd-till ---
if(TARGET vnd-till)
  install(TARGETS vnd-till RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT till)
  install(FILES ${VND_PACKAGING}/vnd-till.conf DESTINATION ${VND_ETC_DIR}/vnd-till COMPONENT till)
  install(FILES ${VND_PACKAGING}/vnd-till.service DESTINATION ${VND_UNIT_DIR} COMPONENT till)
  install(FILES ${CMAKE_BINARY_DIR}/man/vnd-till.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT till)
  install(FILES ${VND_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vnd-till COMPONENT till)
endif()

# --- vnd-host ---
if(TARGET vnd-host)
  set_target_properties(vnd-host PROPERTIES INSTALL_RPATH "$ORIGIN/../${VND_LIB_DIR}")
  install(TARGETS vnd-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT host)
  foreach(library vol vol_qt lib)
    if(TARGET ${library})
      set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
      install(TARGETS ${library} LIBRARY DESTINATION ${VND_LIB_DIR} NAMELINK_SKIP COMPONENT host)
    endif()
  endforeach()
  # Every screen module the build has, whatever folder added it.
  get_property(VND_SCREEN_MODULE_TARGETS GLOBAL PROPERTY VND_SCREEN_MODULES)
  foreach(module IN LISTS VND_SCREEN_MODULE_TARGETS)
    set_target_properties(${module} PROPERTIES INSTALL_RPATH "$ORIGIN/../lib")
    install(TARGETS ${module} LIBRARY DESTINATION ${VND_MODULE_DIR} COMPONENT host)
  endforeach()
  install(FILES ${VND_PACKAGING}/vnd-host.desktop
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications COMPONENT host)
  install(FILES ${VND_PACKAGING}/vnd-host.svg
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps COMPONENT host)
  install(FILES ${VND_PACKAGING}/vnd-host.png
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/48x48/apps COMPONENT host)
  install(FILES ${CMAKE_BINARY_DIR}/man/vnd-host.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT host)
  install(FILES ${VND_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/man/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/vnd-host COMPONENT host)
endif()

# What the packages hold, to build before cpack (scripts/package).
add_custom_target(vnd_package_contents)
add_dependencies(vnd_package_contents vnd_man_pages)
foreach(target vnd-server vnd-host vnd-till ${VND_SCREEN_MODULE_TARGETS})
  if(TARGET ${target})
    add_dependencies(vnd_package_contents ${target})
  endif()
endforeach()

# --- packages ---
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vnd42407)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "vnd42407 developers")
set(CPACK_PACKAGE_CONTACT "Equipe vnd42407 <equipe@vnd42407.com.br>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# /etc and /lib/systemd/system are absolute: staged under the package's root.
set(CPACK_SET_DESTDIR ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL server host till)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The runtime libraries (SQLite, libpq, OpenSSL, Qt) become the packages' dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_SERVER_PACKAGE_NAME vnd-server)
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_SERVER_DESCRIPTION "application server of the differentiated-price screen
vnd-server serves the price-rule screens of a retail chain's stores over
JSON-RPC on TCP, storing in SQLite or PostgreSQL. Runs as the systemd service
vnd-server.service, configured in /etc/vnd-server/vnd-server.conf.")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
  ${VND_PACKAGING}/server/postinst ${VND_PACKAGING}/server/prerm ${VND_PACKAGING}/server/postrm ${VND_PACKAGING}/server/conffiles)
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_HOST_PACKAGE_NAME vnd-host)
set(CPACK_DEBIAN_HOST_DESCRIPTION "back-office desktop for the differentiated-price screen
vnd-host is the Qt desktop of a store's back office; it loads the screen
modules from /usr/lib/vnd/modules and talks to vnd-server.")
set(CPACK_DEBIAN_TILL_PACKAGE_NAME vnd-till)
set(CPACK_DEBIAN_TILL_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_TILL_DESCRIPTION "till replica of the differentiated-price rules
vnd-till keeps one branch's and price table's prices in a local SQLite file,
following every change of vnd-server within a fraction of a second, and answers
prices from that file with the server's own pricing code, with the server up or
down. Runs as the systemd service vnd-till.service, configured in
/etc/vnd-till/vnd-till.conf.")
set(CPACK_DEBIAN_TILL_PACKAGE_CONTROL_EXTRA
  ${VND_PACKAGING}/till/postinst ${VND_PACKAGING}/till/prerm ${VND_PACKAGING}/till/postrm ${VND_PACKAGING}/till/conffiles)
set(CPACK_DEBIAN_TILL_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)

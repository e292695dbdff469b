# Installing at a site and the Debian package.
#
# The program reads OccupationCodes.txt from, and writes LastPatient.txt to, the folder its
# executable lives in, so the executables and that file share one program folder; on Linux the
# folder is lib/talvor with links in bin, so the commands are on the PATH while the folder stays
# the real executable's (Qt resolves the link).

include(GNUInstallDirs)

if(WIN32)
  set(TALVOR_PROGRAM_DIR_DEFAULT ${CMAKE_INSTALL_BINDIR})
else()
  set(TALVOR_PROGRAM_DIR_DEFAULT lib/talvor)
endif()
set(TALVOR_PROGRAM_DIR ${TALVOR_PROGRAM_DIR_DEFAULT} CACHE STRING
    "Program folder, relative to the install prefix: the executables and OccupationCodes.txt")

set(talvor_programs talvor-search talvor-sqlcmd talvor-server)
install(TARGETS ${talvor_programs} RUNTIME DESTINATION ${TALVOR_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/maintenance/OccupationCodes.txt DESTINATION ${TALVOR_PROGRAM_DIR})
# The engine's collation and functions for SQLite's own tools, beside the programs.
install(TARGETS talvor_tsql LIBRARY DESTINATION ${TALVOR_PROGRAM_DIR} RUNTIME DESTINATION ${TALVOR_PROGRAM_DIR})

if(NOT WIN32)
  file(RELATIVE_PATH talvor_link_prefix /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${TALVOR_PROGRAM_DIR})
  foreach(program IN LISTS talvor_programs)
    install(CODE "
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${program}\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
      file(REMOVE \"\${link}\")
      message(STATUS \"Installing: \${link} -> ${talvor_link_prefix}/${program}\")
      file(CREATE_LINK \"${talvor_link_prefix}/${program}\" \"\${link}\" SYMBOLIC)")
  endforeach()

  install(FILES ${PROJECT_SOURCE_DIR}/packaging/talvor-search.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/talvor-search.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(TARGET talvor-server)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/talvor-server.service DESTINATION lib/systemd/system)
  endif()
endif()

set(CPACK_PACKAGE_NAME talvor-search)
set(CPACK_PACKAGE_VENDOR "TALVOR")
set(CPACK_PACKAGE_CONTACT "TALVOR maintainers <maintainers@talvor.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TALVOR - Patient Brelmontaxis: hospital patient search")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Finds a patient or a registration in the hospital's SQL Server databases and opens it, "
    "brings the databases to the expected layout and loads the occupation codes. Connects "
    "through ODBC (FreeTDS or Microsoft's driver), or runs on a built-in demo database.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# What is loaded at run time has to be named: the Qt ODBC and window-system plugins, the driver
# manager and the SQL Server driver. dpkg-shlibdeps adds the libraries linked in, with versions;
# without it they are named too.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-odbc, qt6-qpa-plugins, unixodbc, tdsodbc")
find_program(TALVOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TALVOR_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", libqt6core6, libqt6gui6, libqt6widgets6, libqt6sql6, libsqlite3-0, libsodium23")
endif()

include(CPack)

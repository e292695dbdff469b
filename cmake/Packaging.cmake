# Installing at a site and the Debian package.
#
# The program reads OccupationCodes.txt from the folder its executable lives in, so the
# executables and that file share one program folder; on Linux the folder is lib/talvor with links
# in bin, so the commands are on the PATH while the folder stays the real executable's (Qt
# resolves the link). LastPatient.txt goes there too, unless the workstation's settings name
# another folder: a system install (prefix /usr) names /var/lib/talvor, which the group "talvor"
# may write, because clerks may not write the program folder.

include(GNUInstallDirs)

if(WIN32)
  set(TALVOR_PROGRAM_DIR_DEFAULT ${CMAKE_INSTALL_BINDIR})
else()
  set(TALVOR_PROGRAM_DIR_DEFAULT lib/talvor)
endif()
set(TALVOR_PROGRAM_DIR ${TALVOR_PROGRAM_DIR_DEFAULT} CACHE STRING
    "Program folder, relative to the install prefix: the executables and OccupationCodes.txt")

set(talvor_programs talvor-search talvor-sqlcmd talvor-demo-db talvor-server)
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
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/scalable.svg RENAME talvor-search.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(TARGET talvor-server)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/talvor-server.service DESTINATION lib/systemd/system)
  endif()
  foreach(size 16 24 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/icons/${size}.png RENAME talvor-search.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()

  # Manual pages and the Debian changelog go in compressed as Debian wants them: gzip -9, without
  # the name and time stamp that would make every build differ.
  set(talvor_docs)
  foreach(page talvor-search talvor-sqlcmd talvor-demo-db talvor-server)
    set(source ${PROJECT_SOURCE_DIR}/packaging/man/${page}.1)
    set(compressed ${PROJECT_BINARY_DIR}/packaging/${page}.1.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
        COMMAND gzip -9n -c ${source} > ${compressed}
        DEPENDS ${source} VERBATIM)
    list(APPEND talvor_docs ${compressed})
    install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endforeach()
  set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
  add_custom_command(OUTPUT ${changelog}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
      COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
  list(APPEND talvor_docs ${changelog})
  add_custom_target(talvor_docs ALL DEPENDS ${talvor_docs})
  install(FILES ${changelog} ${PROJECT_SOURCE_DIR}/packaging/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/talvor-search)

  # Only a system install gets the workstation's settings and the shared hand-off folder; an
  # install into a folder of one's own keeps writing into its program folder. The package installs
  # with the prefix /usr, so /etc and /var lie beside it (under CPack's staging folder too).
  # file(INSTALL) puts DESTDIR in front by itself; the other two need it written out.
  install(CODE "
    if(\"\${CMAKE_INSTALL_PREFIX}\" MATCHES \"(^|/)usr/?$\")
      get_filename_component(root \"\${CMAKE_INSTALL_PREFIX}/..\" ABSOLUTE)
      string(REGEX REPLACE \"/$\" \"\" root \"\${root}\")
      file(INSTALL \"${PROJECT_SOURCE_DIR}/packaging/talvor-search.conf\" DESTINATION \"\${root}/etc/xdg/Talvor\")
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${root}/var/lib/talvor\")
      # Programs that watch the program folder for the hand-off file still find it there.
      set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TALVOR_PROGRAM_DIR}/LastPatient.txt\")
      file(REMOVE \"\${link}\")
      file(CREATE_LINK /var/lib/talvor/LastPatient.txt \"\${link}\" SYMBOLIC)
    endif()")
endif()

set(CPACK_PACKAGE_NAME talvor-search)
set(CPACK_PACKAGE_VENDOR "TALVOR")
set(CPACK_PACKAGE_CONTACT "TALVOR maintainers <maintainers@talvor.invalid>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TALVOR - Patient Brelmontaxis: hospital patient search")
# Lines of at most 80 characters; CPack indents each for the control file.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Finds a patient or a registration in the hospital's SQL Server databases\n"
    "and opens it, brings the databases to the expected layout and loads the\n"
    "occupation codes. Connects through ODBC (FreeTDS or Microsoft's driver), or\n"
    "runs on a built-in demo database. Clerks who open records belong to the\n"
    "group talvor.")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The group of the hand-off folder is made when the package is configured; its settings file is
# the administrator's to change and survives upgrades.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm
    ${PROJECT_SOURCE_DIR}/packaging/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# What is loaded at run time has to be named: the Qt ODBC and window-system plugins, the driver
# manager and the SQL Server driver; adduser makes the group. dpkg-shlibdeps adds the libraries
# linked in, with versions; without it they are named too.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6sql6-odbc, qt6-qpa-plugins, unixodbc, tdsodbc")
find_program(TALVOR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(TALVOR_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", libqt6core6, libqt6gui6, libqt6widgets6, libqt6sql6, libsqlite3-0, libsodium23")
endif()

include(CPack)

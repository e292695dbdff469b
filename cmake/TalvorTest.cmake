# add_talvor_test(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One test program per area; every test runs offscreen and in a fixed locale and time zone so
# nothing depends on the machine it runs on. The audit trail goes nowhere unless a test points it
# somewhere: tests are no accesses to a patient's record, and do not belong in the machine's log.
function(add_talvor_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;TALVOR_SQL_TRACE=;TALVOR_AUDIT_FILE=/dev/null"
    TIMEOUT 600)
endfunction()

# The same test program once more with the program's connection going through a talvor-server
# (tests/server/ServedFolder.h).
function(add_talvor_test_through_server name)
  add_test(NAME ${name}_through_server COMMAND ${name})
  set_tests_properties(${name}_through_server PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;TZ=UTC;TALVOR_SQL_TRACE=;TALVOR_TEST_THROUGH_SERVER=1"
    TIMEOUT 600)
endfunction()

# Private Firebird server for server-mode tests.
#
# include() this file from tests/CMakeLists.txt, then call
# jovsec_use_fbserver(<test>) for each test that needs a running server.
# ctest starts the server before the first such test and stops it after the last.

set(JOVSEC_TEST_FB_PORT 3057 CACHE STRING "Loopback port of the private Firebird server used by tests")

set(_jovsec_fbserver_script "${CMAKE_CURRENT_LIST_DIR}/fbserver.sh")
set(_jovsec_fbserver_dir "${CMAKE_BINARY_DIR}/fbserver")

add_test(NAME fbserver_start
         COMMAND bash "${_jovsec_fbserver_script}" start "${_jovsec_fbserver_dir}" "${JOVSEC_TEST_FB_PORT}")
set_tests_properties(fbserver_start PROPERTIES FIXTURES_SETUP fbserver TIMEOUT 90)

add_test(NAME fbserver_stop
         COMMAND bash "${_jovsec_fbserver_script}" stop "${_jovsec_fbserver_dir}")
set_tests_properties(fbserver_stop PROPERTIES FIXTURES_CLEANUP fbserver TIMEOUT 120)

function(jovsec_use_fbserver test_name)
  set_property(TEST "${test_name}" APPEND PROPERTY FIXTURES_REQUIRED fbserver)
  set_property(TEST "${test_name}" APPEND PROPERTY ENVIRONMENT
               "JOVSEC_TEST_SERVER=127.0.0.1/${JOVSEC_TEST_FB_PORT}"
               "JOVSEC_TEST_SERVER_DIR=${CMAKE_BINARY_DIR}/fbserver"
               "JOVSEC_TEST_SERVER_USER=SYSDBA"
               "JOVSEC_TEST_SERVER_PASSWORD=masterkey")
endfunction()

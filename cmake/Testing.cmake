# GoogleTest from the distribution's sources, built with the project's
# compiler (also the MinGW one), and Windows test runs under wine64.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

if(CMAKE_CROSSCOMPILING AND WIN32)
  # Every Windows test program runs through this wrapper: a private Wine
  # prefix in the build tree, no Wine debug chatter.
  set(ZUN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

  # One wineserver for the whole run: each test process then starts in a
  # fraction of a second instead of seconds.
  add_test(NAME wine.start COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --start-server)
  add_test(NAME wine.stop COMMAND ${CMAKE_BINARY_DIR}/wine-run.sh --stop-server)
  set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
  set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
  set(ZUN_TEST_FIXTURES wine)
endif()

# Adds a GoogleTest program's tests, one CTest test each.
function(zun_discover_tests target)
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES FIXTURES_REQUIRED "${ZUN_TEST_FIXTURES}" TIMEOUT 120)
endfunction()

# Adds NAME.start and NAME.stop, which start a local store server
# (tools/store_server) in the background and stop it again as the setup and
# cleanup of FIXTURE. It listens on a loopback port that was free when the
# build was configured; PORT_VAR receives it. Further arguments go to the
# server. The port lies below the system's ephemeral range, so that no
# outgoing connection of the tests (or of anything else) can hold it by chance
# when the server starts.
function(zun_add_store_server name fixture port_var)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(server ${PROJECT_SOURCE_DIR}/tools/store_server/store_server.py)
  execute_process(
    COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/cmake/listen_port.py
    OUTPUT_VARIABLE port OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  set(pid ${CMAKE_CURRENT_BINARY_DIR}/${name}.pid)
  add_test(NAME ${name}.start
    COMMAND ${Python3_EXECUTABLE} ${server} --daemon --port ${port} --pid-file ${pid}
            --log ${CMAKE_CURRENT_BINARY_DIR}/${name}.log ${ARGN})
  add_test(NAME ${name}.stop COMMAND ${Python3_EXECUTABLE} ${server} --stop --pid-file ${pid})
  set_tests_properties(${name}.start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 30)
  set_tests_properties(${name}.stop PROPERTIES FIXTURES_CLEANUP ${fixture})
  set(${port_var} ${port} PARENT_SCOPE)
endfunction()

# Checks the package in PACKAGES: exactly the installed files a vendor
# expects (no tests, benchmarks, fuzzers or store server), and for the Debian
# package its dependencies on the runtime libraries.
#   WINDOWS     true for the Windows build (a zip)
#   BUILD_TYPE  the build's configuration, in lower case
function(fail)
  string(JOIN "" message ${ARGN})
  message(FATAL_ERROR "${message}")
endfunction()

function(expect_listing actual expected)
  list(SORT actual)
  list(SORT expected)
  if(NOT actual STREQUAL expected)
    string(REPLACE ";" "\n  " actual "${actual}")
    string(REPLACE ";" "\n  " expected "${expected}")
    fail("the package holds\n  ${actual}\nexpected\n  ${expected}")
  endif()
endfunction()

set(cmake_files
  lib/cmake/ZunServer/ZunServerConfig.cmake
  lib/cmake/ZunServer/ZunServerConfigVersion.cmake
  lib/cmake/ZunServer/ZunServerTargets.cmake
  lib/cmake/ZunServer/ZunServerTargets-${BUILD_TYPE}.cmake)

if(WINDOWS)
  file(GLOB package ${PACKAGES}/*.zip)
  list(LENGTH package count)
  if(NOT count EQUAL 1)
    fail("expected one zip in ${PACKAGES}, found: ${package}")
  endif()
  get_filename_component(top ${package} NAME_WLE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${package}
                  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]+" entries "${listing}")
  set(files)
  foreach(entry IN LISTS entries)
    if(NOT entry MATCHES "/$")
      list(APPEND files ${entry})
    endif()
  endforeach()
  set(expected
    bin/ZunServer.dll
    bin/zunclient.exe
    include/zunserver/zunserver.h
    lib/libZunServer.dll.a
    ${cmake_files}
    share/doc/zunserver/REGSVR32.txt
    share/doc/zunserver/USING.txt)
  list(TRANSFORM expected PREPEND ${top}/)
  expect_listing("${files}" "${expected}")
  return()
endif()

file(GLOB package ${PACKAGES}/*.deb)
list(LENGTH package count)
if(NOT count EQUAL 1)
  fail("expected one Debian package in ${PACKAGES}, found: ${package}")
endif()

execute_process(COMMAND dpkg-deb --contents ${package} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[^\n]+" entries "${listing}")
set(files)
foreach(entry IN LISTS entries)
  # mode owner size date time path [-> target]
  if(entry MATCHES "^[-l][^ ]* +[^ ]+ +[0-9]+ [^ ]+ [^ ]+ \\./usr/(.*)$")
    list(APPEND files ${CMAKE_MATCH_1})
  endif()
endforeach()
expect_listing("${files}" "bin/zunclient -> ../lib/zunserver/zunclient;include/zunserver/zunserver.h;lib/libzunserver.so;lib/pkgconfig/zunserver.pc;lib/zunserver/libzunserver.so -> ../libzunserver.so;lib/zunserver/zunclient;share/doc/zunserver/USING.md;${cmake_files}")

execute_process(COMMAND dpkg-deb --info ${package} OUTPUT_VARIABLE info COMMAND_ERROR_IS_FATAL ANY)
foreach(field IN ITEMS "Package: zunserver" "Depends: [^\n]*libcurl" "Depends: [^\n]*libsqlite3" "Depends: [^\n]*libssl"
                       "Recommends: chromium")
  if(NOT info MATCHES "\n ${field}")
    fail("the package's control fields lack \"${field}\":\n${info}")
  endif()
endforeach()

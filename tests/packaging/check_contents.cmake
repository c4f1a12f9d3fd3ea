# Checks that the one package in PACKAGES holds exactly the files a vendor expects (no tests,
# benchmarks, fuzzers or store server) and, for the Debian package, its runtime dependencies.
#   WINDOWS  true for the Windows build (a zip);  BUILD_TYPE  the configuration, in lower case
set(cmake_files ZunServerConfig.cmake ZunServerConfigVersion.cmake ZunServerTargets.cmake
                ZunServerTargets-${BUILD_TYPE}.cmake)
list(TRANSFORM cmake_files PREPEND lib/cmake/ZunServer/)
if(WINDOWS)
  file(GLOB package ${PACKAGES}/*.zip)
else()
  file(GLOB package ${PACKAGES}/*.deb)
endif()
list(LENGTH package count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one package in ${PACKAGES}, found: ${package}")
endif()

set(files)
if(WINDOWS)
  get_filename_component(top ${package} NAME_WLE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${package} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]+" files "${listing}")
  list(FILTER files EXCLUDE REGEX "/$")
  set(expected bin/ZunServer.dll bin/zunclient.exe include/zunserver/zunserver.h lib/libZunServer.dll.a
               ${cmake_files} share/doc/zunserver/REGSVR32.txt share/doc/zunserver/USING.txt)
  list(TRANSFORM expected PREPEND ${top}/)
else()
  execute_process(COMMAND dpkg-deb --contents ${package} OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL "[^\n]+" entries "${listing}")
  foreach(entry IN LISTS entries)
    # mode owner size date time path [-> target]
    if(entry MATCHES "^[-l][^ ]* +[^ ]+ +[0-9]+ [^ ]+ [^ ]+ \\./usr/(.*)$")
      list(APPEND files ${CMAKE_MATCH_1})
    endif()
  endforeach()
  set(expected "bin/zunclient -> ../lib/zunserver/zunclient" include/zunserver/zunserver.h lib/libzunserver.so
      lib/pkgconfig/zunserver.pc "lib/zunserver/libzunserver.so -> ../libzunserver.so" lib/zunserver/zunclient
      share/doc/zunserver/USING.md ${cmake_files})
  execute_process(COMMAND dpkg-deb --info ${package} OUTPUT_VARIABLE info COMMAND_ERROR_IS_FATAL ANY)
  foreach(field IN ITEMS "Package: zunserver" "Depends: [^\n]*libcurl" "Depends: [^\n]*libsqlite3"
                         "Depends: [^\n]*libssl" "Recommends: chromium")
    if(NOT info MATCHES "\n ${field}")
      message(FATAL_ERROR "the package's control fields lack \"${field}\":\n${info}")
    endif()
  endforeach()
endif()
list(SORT files)
list(SORT expected)
if(NOT files STREQUAL expected)
  string(REPLACE ";" "\n  " files "${files}")
  string(REPLACE ";" "\n  " expected "${expected}")
  message(FATAL_ERROR "the package holds\n  ${files}\nexpected\n  ${expected}")
endif()

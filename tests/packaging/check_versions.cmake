# Checks that every artifact carries VERSION: the engine's file version as the installed
# zunclient reads it (the DLL's version resource, the Linux engine's what-string, which is checked
# in the file too), the CMake package's version file, zunserver.pc and the package's name or field.
#   PREFIX  the installed tree;  PACKAGES  the package's folder;  WINDOWS;  EMULATOR  runs the programs
set(mismatches)
function(expect what actual)
  if(NOT actual STREQUAL VERSION)
    set(mismatches "${mismatches}\n  ${what}: \"${actual}\"" PARENT_SCOPE)
  endif()
endfunction()

if(WINDOWS)
  set(client ${PREFIX}/bin/zunclient.exe)
  file(GLOB package ${PACKAGES}/*.zip)
  get_filename_component(name "${package}" NAME)
  string(REGEX REPLACE "^ZunServer-(.*)-win(32|64)\\.zip$" "\\1" zip_version "${name}")
  expect("the zip ${name}" "${zip_version}")
else()
  set(client ${PREFIX}/bin/zunclient)
  # The mark itself, and its copies where the file carries debug information.
  file(STRINGS ${PREFIX}/lib/libzunserver.so marks REGEX "^@\\(#\\)ZunServer [0-9]")
  list(REMOVE_DUPLICATES marks)
  string(REPLACE "@(#)ZunServer " "" marked "${marks}")
  expect("the engine's what-string" "${marked}")
  file(STRINGS ${PREFIX}/lib/pkgconfig/zunserver.pc pc_version REGEX "^Version: ")
  string(REPLACE "Version: " "" pc_version "${pc_version}")
  expect("zunserver.pc" "${pc_version}")
  file(GLOB package ${PACKAGES}/*.deb)
  execute_process(COMMAND dpkg-deb --field ${package} Version OUTPUT_VARIABLE deb_version
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  expect("the Debian package's Version" "${deb_version}")
endif()

execute_process(COMMAND ${EMULATOR} ${client} version OUTPUT_VARIABLE output RESULT_VARIABLE failed)
string(REGEX MATCH "ZunServer engine ([^\r\n]*)" line "${output}")
if(failed)
  set(CMAKE_MATCH_1 "(zunclient failed: ${failed})")
endif()
expect("zunclient version" "${CMAKE_MATCH_1}")

set(PACKAGE_FIND_VERSION ${VERSION})
include(${PREFIX}/lib/cmake/ZunServer/ZunServerConfigVersion.cmake)
expect("ZunServerConfigVersion.cmake" "${PACKAGE_VERSION}")

if(mismatches)
  message(FATAL_ERROR "expected version ${VERSION} in every artifact; these differ:${mismatches}")
endif()

# CPack: the packages made from the install rules. Linux builds make a Debian
# package, Windows builds a zip (cpack --preset native / mingw64).
set(CPACK_PACKAGE_NAME ZunServer)
set(CPACK_PACKAGE_VENDOR "Orvella Software")
set(CPACK_PACKAGE_CONTACT "Orvella Software <zunserver@orvella.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "In-process store engine for a desktop application's client library")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "The engine that an application's client library loads to sell the"
  "application online and to keep the engine itself current, with its public"
  "header, its CMake package and pkg-config file, and the zunclient test client.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")

if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME zunserver)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libs)
  # The runtime libraries (libcurl, SQLite, OpenSSL and the C and C++
  # runtimes) as dpkg-shlibdeps finds them in the engine and the client.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The purchase wizard shows its store pages in Chromium.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS chromium)
endif()

include(CPack)

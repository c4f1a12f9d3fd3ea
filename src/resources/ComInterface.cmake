# The COM interface, compiled from ZunServer.idl with widl at build time:
#   ZunServer.h    C/C++ declarations (and the AppID's initializer)
#   ZunServer_i.c  the GUID definitions
#   ZunServer_p.c  the interface's proxy and stub, dlldata.c their tables
#   ZunServer.tlb  the type library, embedded as TYPELIB resource 1
# The .idl imports come from Wine's headers; the type library imports the
# standard OLE type library from Wine's Windows folder of the target's
# architecture.
find_program(ZUN_WIDL widl REQUIRED)
find_path(ZUN_WINE_IDL_DIR oaidl.idl REQUIRED NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH
  PATHS /usr/include/wine/wine/windows /usr/include/wine/windows)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(widl_target --win64)
  set(wine_windows_dirs /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows)
else()
  set(widl_target --win32)
  set(wine_windows_dirs /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/i386-windows
                        /usr/lib/wine/i386-windows)
endif()
find_path(ZUN_WINE_STDOLE2_DIR stdole2.tlb NO_CACHE NO_CMAKE_FIND_ROOT_PATH PATHS ${wine_windows_dirs} NO_DEFAULT_PATH)

set(idl ${CMAKE_CURRENT_SOURCE_DIR}/ZunServer.idl)
set(gen ${CMAKE_CURRENT_BINARY_DIR}/com)
set(widl ${ZUN_WIDL} ${widl_target} -I ${ZUN_WINE_IDL_DIR})
file(MAKE_DIRECTORY ${gen})

add_custom_command(OUTPUT ${gen}/ZunServer.h
  COMMAND ${widl} -h -o ${gen}/ZunServer.h ${idl}
  DEPENDS ${idl} VERBATIM)
add_custom_command(OUTPUT ${gen}/ZunServer_i.c
  COMMAND ${widl} -u -o ${gen}/ZunServer_i.c ${idl}
  DEPENDS ${idl} VERBATIM)
# Stubless proxies: the other styles need structured exception handling,
# which gcc lacks.
add_custom_command(OUTPUT ${gen}/ZunServer_p.c
  COMMAND ${widl} -Oif -p -o ${gen}/ZunServer_p.c ${idl}
  DEPENDS ${idl} VERBATIM)
add_custom_command(OUTPUT ${gen}/dlldata.c
  COMMAND ${widl} --dlldata-only -o ${gen}/dlldata.c ZunServer
  VERBATIM)

# The proxy part's entry points are named Prx... so that the module's own
# exports can call them; the proxy factory's class id is the interface id.
add_library(zun_com_interface OBJECT ${gen}/ZunServer.h ${gen}/ZunServer_p.c ${gen}/dlldata.c)
target_include_directories(zun_com_interface PUBLIC ${gen})
target_compile_definitions(zun_com_interface PRIVATE ENTRY_PREFIX=Prx REGISTER_PROXY_DLL PROXY_DELEGATION)
# mingw declares the IUnknown proxy helpers for C++ only.
target_compile_options(zun_com_interface PRIVATE
  -include ${CMAKE_CURRENT_SOURCE_DIR}/proxy_declarations.h)
# The GUIDs on their own, for the module and for COM clients such as the tests.
add_library(zun_com_guids OBJECT ${gen}/ZunServer_i.c)
list(APPEND ZUN_MODULE_SOURCES $<TARGET_OBJECTS:zun_com_interface> $<TARGET_OBJECTS:zun_com_guids>)
list(APPEND ZUN_SYSTEM_LIBRARIES ole32 oleaut32 rpcrt4 uuid)

if(ZUN_WINE_STDOLE2_DIR)
  add_custom_command(OUTPUT ${gen}/ZunServer.tlb
    COMMAND ${widl} -L ${ZUN_WINE_STDOLE2_DIR} -t -o ${gen}/ZunServer.tlb ${idl}
    DEPENDS ${idl} VERBATIM)
  add_custom_target(zun_com_type_library DEPENDS ${gen}/ZunServer.tlb)
  add_dependencies(zun_com_interface zun_com_type_library)
  file(TO_CMAKE_PATH ${gen}/ZunServer.tlb ZUN_TYPE_LIBRARY_FILE)
  configure_file(typelib.rc.in ${CMAKE_CURRENT_BINARY_DIR}/typelib.rc @ONLY)
  set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/typelib.rc
    DIRECTORY ${PROJECT_SOURCE_DIR}/src PROPERTIES OBJECT_DEPENDS ${gen}/ZunServer.tlb)
  list(APPEND ZUN_MODULE_SOURCES ${CMAKE_CURRENT_BINARY_DIR}/typelib.rc)
else()
  message(STATUS "No stdole2.tlb for this architecture in ${wine_windows_dirs}: "
                 "ZunServer.dll is built without its type library")
endif()

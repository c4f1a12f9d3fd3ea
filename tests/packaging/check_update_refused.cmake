# Checks that the installed engine refuses an engine update signed with the
# development key (the store server signs its offers with it): the purchase
# goes on to the layout query, which the vantor word "nopublisher" ends with
# ZUN_E_INVALID_REQUEST before any wizard, and no downloaded file is left.
#   PREFIX    the installed tree
#   WINDOWS   true for the Windows build
#   EMULATOR  runs the build's programs (wine64 for the Windows build)
#   TEMP      an empty folder for the engine's temporary files (Linux)
if(WINDOWS)
  set(client ${PREFIX}/bin/zunclient.exe)
else()
  set(client ${PREFIX}/bin/zunclient)
  file(REMOVE_RECURSE ${TEMP})
  file(MAKE_DIRECTORY ${TEMP})
  set(ENV{TMPDIR} ${TEMP})
  set(ENV{ZUN_TRACE} ${TEMP}/trace.log)
endif()
execute_process(COMMAND ${EMULATOR} ${client} purchase --vantor update-nopublisher-packaged
                OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}${errors}")
if(NOT output MATCHES "status: ZUN_E_INVALID_REQUEST \\(0xE0000000\\)" OR output MATCHES "ENGINE_UPDATED")
  message(FATAL_ERROR "the installed engine did not refuse the update and go on to the layout query")
endif()
if(NOT WINDOWS)
  file(READ ${TEMP}/trace.log trace)
  if(NOT trace MATCHES "engine update refused: ")
    message(FATAL_ERROR "no trace line tells why the update was refused")
  endif()
  file(GLOB left ${TEMP}/XWS*)
  if(left)
    message(FATAL_ERROR "the refused download was left behind: ${left}")
  endif()
endif()

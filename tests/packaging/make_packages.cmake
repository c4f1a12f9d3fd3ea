# Makes the package of the build in BUILD_DIR in an empty OUTPUT folder.
file(REMOVE_RECURSE ${OUTPUT})
execute_process(COMMAND ${CPACK} --config ${BUILD_DIR}/CPackConfig.cmake -B ${OUTPUT} COMMAND_ERROR_IS_FATAL ANY)

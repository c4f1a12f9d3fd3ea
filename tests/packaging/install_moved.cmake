# Installs the build in BUILD_DIR into STAGE, then moves the tree to PREFIX:
# whatever uses PREFIX afterwards proves that the tree is relocatable.
foreach(dir ${STAGE} ${PREFIX})
  file(REMOVE_RECURSE ${dir})
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE} COMMAND_ERROR_IS_FATAL ANY)
file(RENAME ${STAGE} ${PREFIX})

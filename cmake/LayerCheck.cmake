# Builds each of TARGETS in the build folder BUILD: each includes the header of the same place in
# HEADERS from a layer that may not use it, so each must fail because that header is not found.
foreach(target header IN ZIP_LISTS TARGETS HEADERS)
  execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target ${target}
                  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX MATCH "${header}.*(No such file|not found)" refused "${output}")
  if(result EQUAL 0 OR NOT refused)
    message(FATAL_ERROR "${target}: including ${header} was not refused:\n${output}")
  endif()
  message(STATUS "${target}: ${header} not found, as it should be")
endforeach()

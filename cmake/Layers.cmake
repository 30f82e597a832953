# Layers the build enforces. Every header is included by its layer's folder name ("base/Files.h"),
# and a layer's headers are found only through an include root that holds that layer alone:
# <build>/layers/<layer>/<layer>, a link to src/<layer>. A library gets the root of each layer it
# links (the roots travel with the link), so including a layer it doesn't link fails: the header
# is not found.

# Gives `target` the include root of `layer` (PUBLIC for libraries, PRIVATE for programs).
function(tessaly_layer_root target layer scope)
  set(root ${PROJECT_BINARY_DIR}/layers/${layer})
  if(NOT IS_DIRECTORY ${root}/${layer})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${layer} ${root}/${layer} RESULT failed SYMBOLIC)
    # Windows grants symbolic links to developers and administrators only; a junction serves.
    if(failed AND CMAKE_HOST_WIN32)
      file(TO_NATIVE_PATH ${root}/${layer} link)
      file(TO_NATIVE_PATH ${PROJECT_SOURCE_DIR}/src/${layer} folder)
      execute_process(COMMAND cmd /c mklink /J ${link} ${folder} OUTPUT_QUIET RESULT_VARIABLE failed)
    endif()
    if(failed)
      message(WARNING "No link ${root}/${layer} (${failed}): layers are not enforced in this build")
      set(root ${PROJECT_SOURCE_DIR}/src)
    endif()
  endif()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# Compiles every header of `layer` as part of `target`, so a header that no source of its own layer
# includes is held to the layer's roots too.
function(tessaly_layer_headers target layer)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/src
       ${PROJECT_SOURCE_DIR}/src/${layer}/*.h)
  set(content "// Every header of src/${layer}, compiled with the include roots its layer may use.\n")
  foreach(header ${headers})
    string(APPEND content "#include \"${header}\"\n")
  endforeach()
  set(file ${PROJECT_BINARY_DIR}/layers/${layer}Headers.cpp)
  file(CONFIGURE OUTPUT ${file} CONTENT "${content}")
  target_sources(${target} PRIVATE ${file})
endfunction()

# A core layer: the static library tessaly_<layer> of src/<layer>/*.cpp (less EXCLUDE, plus
# SOURCES), linking the layers it USES.
function(tessaly_core_layer layer)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;EXCLUDE;SOURCES")
  file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${layer}/*.cpp)
  if(arg_EXCLUDE)
    list(REMOVE_ITEM sources ${arg_EXCLUDE})
  endif()
  add_library(tessaly_${layer} STATIC ${sources} ${arg_SOURCES})
  tessaly_layer_root(tessaly_${layer} ${layer} PUBLIC)
  tessaly_layer_headers(tessaly_${layer} ${layer})
  foreach(used ${arg_USES})
    target_link_libraries(tessaly_${layer} PUBLIC tessaly_${used})
  endforeach()
endfunction()

# The test that the arrows are enforced: for each (layer, header of a layer it may not use), a
# file of `layer` that includes the header, built on its own by cmake/LayerCheck.cmake, which
# passes only if the compiler can't find the header.
function(tessaly_layer_check_test)
  set(targets)
  set(headers)
  foreach(pair ${ARGN})
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 layer)
    list(GET pair 1 header)
    string(MAKE_C_IDENTIFIER "layer_check_${layer}_${header}" name)
    file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/layers/check/${name}.cpp
         CONTENT "#include \"${header}\"\n")
    add_library(${name} OBJECT EXCLUDE_FROM_ALL ${PROJECT_BINARY_DIR}/layers/check/${name}.cpp)
    target_link_libraries(${name} PRIVATE tessaly_${layer})
    list(APPEND targets ${name})
    list(APPEND headers ${header})
  endforeach()
  add_test(NAME layers_enforced
           COMMAND ${CMAKE_COMMAND} -DBUILD=${PROJECT_BINARY_DIR} "-DTARGETS=${targets}"
                   "-DHEADERS=${headers}" -P ${PROJECT_SOURCE_DIR}/cmake/LayerCheck.cmake)
  set_tests_properties(layers_enforced PROPERTIES LABELS core RUN_SERIAL TRUE)
endfunction()

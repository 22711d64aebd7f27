# Build rules for models, one per file:
#   add_vkm_model(<name> SCRIPT <file.dks> [OUTPUT <file.vkm>] [WORKING_DIRECTORY <dir>])
#   add_hxm_collision(<name> ASE <file.ase> [VERSION <hex>] [OUTPUT <file.hxm>] [WORKING_DIRECTORY <dir>])
# Each adds a target <name>, built by default, whose property
# MODEL_PIPELINE_OUTPUT holds the absolute name of the file it writes (default
# ${CMAKE_CURRENT_BINARY_DIR}/<stem>.vkm or .hxm). Relative inputs are read
# from ${CMAKE_CURRENT_SOURCE_DIR}, relative outputs go below
# ${CMAKE_CURRENT_BINARY_DIR}; the tool runs in the input's folder unless
# WORKING_DIRECTORY says otherwise (DKS scripts name their ASE files relative
# to it). The tool's depfile lists every file it read, and a run whose output
# bytes did not change leaves the file untouched (restat), so what depends on
# it is not rebuilt.
include_guard(GLOBAL)

if(CMAKE_VERSION VERSION_LESS 3.20)
  message(FATAL_ERROR "ModelPipeline's build rules need CMake 3.20 or newer (DEPFILE of custom commands)")
endif()

function(_model_pipeline_rule name tool input extension output workingDirectory)
  set(runner "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_tool.cmake")
  cmake_path(ABSOLUTE_PATH input BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
  if(output STREQUAL "")
    cmake_path(GET input STEM LAST_ONLY stem)
    set(output "${stem}.${extension}")
  endif()
  cmake_path(ABSOLUTE_PATH output BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  if(workingDirectory STREQUAL "")
    cmake_path(GET input PARENT_PATH workingDirectory)
  endif()
  cmake_path(ABSOLUTE_PATH workingDirectory BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
  cmake_path(GET output PARENT_PATH outputDirectory)
  file(MAKE_DIRECTORY "${outputDirectory}")
  set(depfile "${output}.d")
  cmake_path(RELATIVE_PATH input BASE_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE shown)
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DDEPFILE=${depfile}" -P "${runner}"
            "$<TARGET_FILE:${tool}>" "${input}" ${ARGN} --output "${output}" --depfile "${depfile}"
    MAIN_DEPENDENCY "${input}"
    DEPENDS ${tool} "${runner}"
    DEPFILE "${depfile}"
    BYPRODUCTS "${depfile}"
    WORKING_DIRECTORY "${workingDirectory}"
    COMMENT "Converting ${shown}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${output}")
  set_target_properties(${name} PROPERTIES MODEL_PIPELINE_OUTPUT "${output}")
endfunction()

function(add_vkm_model name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SCRIPT;OUTPUT;WORKING_DIRECTORY" "")
  if(NOT arg_SCRIPT OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_vkm_model(${name} SCRIPT <file.dks> [OUTPUT <file.vkm>] [WORKING_DIRECTORY <dir>])")
  endif()
  _model_pipeline_rule(${name} ModelPipeline::DKS2VKM "${arg_SCRIPT}" vkm "${arg_OUTPUT}" "${arg_WORKING_DIRECTORY}")
endfunction()

function(add_hxm_collision name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ASE;VERSION;OUTPUT;WORKING_DIRECTORY" "")
  if(NOT arg_ASE OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_hxm_collision(${name} ASE <file.ase> [VERSION <hex>] [OUTPUT <file.hxm>])")
  endif()
  _model_pipeline_rule(${name} ModelPipeline::SCENE2HXM "${arg_ASE}" hxm "${arg_OUTPUT}" "${arg_WORKING_DIRECTORY}"
                       ${arg_VERSION})
endfunction()

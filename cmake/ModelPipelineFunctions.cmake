# Build rules for models, one per file:
#   add_vkm_model(<name> SCRIPT <file.dks> [OUTPUT <file.vkm>] [WORKING_DIRECTORY <dir>])
#   add_vkm_model(<name> ASE <file.ase> AUTO_LODS <ratio>... [OUTPUT <file.vkm>])
#   add_hxm_collision(<name> ASE <file.ase> [VERSION <hex>] [OUTPUT <file.hxm>] [WORKING_DIRECTORY <dir>])
# With AUTO_LODS, aselod first writes one simplified export per ratio and the
# script (LOD 0 the export itself) beside the output, as <stem>_lod<i>.ase and
# <stem>.dks; DKS2VKM then runs in that folder.
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

# A file as the build log names it: below the source or build tree's top.
function(_model_pipeline_shown file out)
  cmake_path(IS_PREFIX CMAKE_BINARY_DIR "${file}" NORMALIZE inBuildTree)
  if(inBuildTree)
    cmake_path(RELATIVE_PATH file BASE_DIRECTORY "${CMAKE_BINARY_DIR}" OUTPUT_VARIABLE shown)
  else()
    cmake_path(RELATIVE_PATH file BASE_DIRECTORY "${CMAKE_SOURCE_DIR}" OUTPUT_VARIABLE shown)
  endif()
  set(${out} "${shown}" PARENT_SCOPE)
endfunction()

# The input made absolute below the source folder, and the output (by default
# the input's stem with `extension`) below the build folder.
macro(_model_pipeline_paths input output extension)
  cmake_path(ABSOLUTE_PATH ${input} BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
  if(${output} STREQUAL "")
    cmake_path(GET ${input} STEM LAST_ONLY ${output})
    string(APPEND ${output} ".${extension}")
  endif()
  cmake_path(ABSOLUTE_PATH ${output} BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
endmacro()

function(_model_pipeline_rule name tool input extension output workingDirectory)
  set(runner "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_tool.cmake")
  _model_pipeline_paths(input output ${extension})
  if(workingDirectory STREQUAL "")
    cmake_path(GET input PARENT_PATH workingDirectory)
  endif()
  cmake_path(ABSOLUTE_PATH workingDirectory BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE)
  cmake_path(GET output PARENT_PATH outputDirectory)
  file(MAKE_DIRECTORY "${outputDirectory}")
  set(depfile "${output}.d")
  _model_pipeline_shown("${input}" shown)
  add_custom_command(OUTPUT "${output}"
    COMMAND "${CMAKE_COMMAND}" "-DDEPFILE=${depfile}" "-DTOOL_DEPFILE=${depfile}.tool" -P "${runner}"
            "$<TARGET_FILE:${tool}>" "${input}" ${ARGN} --output "${output}" --depfile "${depfile}.tool"
    MAIN_DEPENDENCY "${input}"
    DEPENDS ${tool} "${runner}"
    DEPFILE "${depfile}"
    BYPRODUCTS "${depfile}" "${depfile}.tool"
    WORKING_DIRECTORY "${workingDirectory}"
    COMMENT "Converting ${shown}"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS "${output}")
  set_target_properties(${name} PROPERTIES MODEL_PIPELINE_OUTPUT "${output}")
endfunction()

function(add_vkm_model name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "SCRIPT;ASE;OUTPUT;WORKING_DIRECTORY" "AUTO_LODS")
  if(arg_SCRIPT AND NOT arg_ASE AND NOT arg_AUTO_LODS AND NOT arg_UNPARSED_ARGUMENTS)
    _model_pipeline_rule(${name} ModelPipeline::DKS2VKM "${arg_SCRIPT}" vkm "${arg_OUTPUT}" "${arg_WORKING_DIRECTORY}")
  elseif(arg_ASE AND arg_AUTO_LODS AND NOT arg_SCRIPT AND NOT arg_WORKING_DIRECTORY AND NOT arg_UNPARSED_ARGUMENTS)
    _model_pipeline_auto_lods(${name} "${arg_ASE}" "${arg_OUTPUT}" ${arg_AUTO_LODS})
  else()
    message(FATAL_ERROR "add_vkm_model(${name} SCRIPT <file.dks> [OUTPUT <file.vkm>] [WORKING_DIRECTORY <dir>]) or "
                        "add_vkm_model(${name} ASE <file.ase> AUTO_LODS <ratio>... [OUTPUT <file.vkm>])")
  endif()
endfunction()

function(_model_pipeline_auto_lods name input output)
  if(NOT TARGET ModelPipeline::aselod)
    message(FATAL_ERROR "add_vkm_model(${name} ... AUTO_LODS): this ModelPipeline has no aselod")
  endif()
  _model_pipeline_paths(input output vkm)
  cmake_path(GET output PARENT_PATH folder)
  cmake_path(GET output STEM LAST_ONLY stem)
  # A script names its files by their first word, relative to where DKS2VKM runs.
  cmake_path(RELATIVE_PATH input BASE_DIRECTORY "${folder}" OUTPUT_VARIABLE lod0)
  if(lod0 MATCHES "[ \t]" OR stem MATCHES "[ \t]")
    message(FATAL_ERROR "add_vkm_model(${name} ... AUTO_LODS): a DKS script cannot name \"${lod0}\" or \"${stem}\" (blank in the name)")
  endif()
  set(script "${folder}/${stem}.dks")
  set(lodFiles)
  list(LENGTH ARGN count)
  foreach(i RANGE 1 ${count})
    list(APPEND lodFiles "${folder}/${stem}_lod${i}.ase")
  endforeach()
  list(JOIN ARGN "," ratios)
  file(MAKE_DIRECTORY "${folder}")
  _model_pipeline_shown("${input}" shown)
  add_custom_command(OUTPUT "${script}" ${lodFiles}
    COMMAND "${CMAKE_COMMAND}" -P "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_tool.cmake"
            "$<TARGET_FILE:ModelPipeline::aselod>" "${lod0}" --lods "${ratios}" --output "${stem}.dks"
    MAIN_DEPENDENCY "${input}"
    DEPENDS ModelPipeline::aselod "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run_tool.cmake"
    WORKING_DIRECTORY "${folder}"
    COMMENT "Simplifying ${shown}"
    VERBATIM)
  _model_pipeline_rule(${name} ModelPipeline::DKS2VKM "${script}" vkm "${output}" "${folder}")
endfunction()

function(add_hxm_collision name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "ASE;VERSION;OUTPUT;WORKING_DIRECTORY" "")
  if(NOT arg_ASE OR arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "add_hxm_collision(${name} ASE <file.ase> [VERSION <hex>] [OUTPUT <file.hxm>])")
  endif()
  _model_pipeline_rule(${name} ModelPipeline::SCENE2HXM "${arg_ASE}" hxm "${arg_OUTPUT}" "${arg_WORKING_DIRECTORY}"
                       ${arg_VERSION})
endfunction()

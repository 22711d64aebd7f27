# One conversion of a build rule:
#   cmake [-DDEPFILE=<file> -DTOOL_DEPFILE=<file>] -P run_tool.cmake <tool> <arguments...>
# The tool's console text is shown only when it fails (a build log then holds
# the conversion's message); its diagnostics on standard error always pass
# through, as a compiler's do.
#
# The tool runs in the rule's working directory and writes the names in its
# depfile (TOOL_DEPFILE) as it opened them; the build reads them relative to
# another folder, so DEPFILE gets them made absolute, and is rewritten only
# when that text changes, as the tools treat their own outputs.
set(command)
set(start "")
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(n RANGE ${last})
  if(NOT start STREQUAL "" AND n GREATER_EQUAL start)
    list(APPEND command "${CMAKE_ARGV${n}}")
  elseif(start STREQUAL "" AND CMAKE_ARGV${n} STREQUAL "-P")
    math(EXPR start "${n} + 2")  # after this script's name
  endif()
endforeach()

execute_process(COMMAND ${command} OUTPUT_VARIABLE console RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(NOTICE "${console}")
  list(GET command 0 tool)
  get_filename_component(tool "${tool}" NAME)
  message(FATAL_ERROR "${tool} failed (exit status ${status})")
endif()

# Escaped as the tools escape names (space "\ ", '#' "\#", '$' "$$"), with the
# doubled backslashes and escaped blanks kept out of the way while the line is
# split at its separating blanks.
function(escape_name name out)
  string(REPLACE "$" "$$" name "${name}")
  string(REPLACE "#" "\\#" name "${name}")
  string(REPLACE " " "\\ " name "${name}")
  set(${out} "${name}" PARENT_SCOPE)
endfunction()

if(DEFINED DEPFILE AND EXISTS "${TOOL_DEPFILE}")
  file(READ "${TOOL_DEPFILE}" text)
  string(STRIP "${text}" text)
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "\\\\" "<backslashes>" text "${text}")
  string(REPLACE "\\ " "<blank>" text "${text}")
  string(REPLACE "\\\t" "<tab>" text "${text}")
  string(REPLACE " " ";" names "${text}")
  escape_name("${CMAKE_CURRENT_BINARY_DIR}/" here)  # the working directory of the tool
  string(REPLACE "\\ " "<blank>" here "${here}")
  set(absolute)
  foreach(name IN LISTS names)
    if(NOT name MATCHES "^/" AND NOT name STREQUAL "")
      string(PREPEND name "${here}")
    endif()
    list(APPEND absolute "${name}")
  endforeach()
  list(JOIN absolute " " text)
  string(REPLACE "<tab>" "\\\t" text "${text}")
  string(REPLACE "<blank>" "\\ " text "${text}")
  string(REPLACE "<backslashes>" "\\\\" text "${text}")
  string(REPLACE "<semicolon>" ";" text "${text}")
  set(old "")
  if(EXISTS "${DEPFILE}")
    file(READ "${DEPFILE}" old)
  endif()
  if(NOT old STREQUAL "${text}\n")
    file(WRITE "${DEPFILE}.tmp" "${text}\n")
    file(RENAME "${DEPFILE}.tmp" "${DEPFILE}")
  endif()
endif()

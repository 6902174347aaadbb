# Checks that libostrel.so exports the nineteen functions of ostrel.h and no
# other symbol. Besides them only symbols the linker itself may define are
# allowed: _init, _fini, _edata, _end, __bss_start, and the names of symbol
# version nodes (absolute symbols such as OSTREL_2), which carry no code.
#
# Variables: NM, LIBRARY, HEADER.

cmake_minimum_required(VERSION 3.25)

set(linker_defined _init _fini _edata _end __bss_start)
include(${CMAKE_CURRENT_LIST_DIR}/exported_functions.cmake)

execute_process(COMMAND ${NM} -D --defined-only "${LIBRARY}"
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${listing}")
set(found "")
set(foreign "")
foreach(line IN LISTS lines)
  if(NOT line MATCHES "^[0-9a-fA-F]* *([A-Za-z]) ([^ @]+)")
    continue()
  endif()
  set(type "${CMAKE_MATCH_1}")
  set(name "${CMAKE_MATCH_2}")
  if(name IN_LIST expected)
    if(NOT type STREQUAL "T")
      list(APPEND foreign "${name} (type ${type}, expected a function)")
    endif()
    list(APPEND found ${name})
  elseif(name IN_LIST linker_defined)
  elseif(type STREQUAL "A" AND name MATCHES "^[A-Z][A-Z0-9_.]*$")
  else()
    list(APPEND foreign "${type} ${name}")
  endif()
endforeach()

set(missing ${expected})
list(REMOVE_ITEM missing ${found})
if(missing OR foreign)
  list(JOIN missing " " missing)
  list(JOIN foreign "\n  " foreign)
  message(FATAL_ERROR "libostrel.so exports:\n${listing}\nmissing: ${missing}\nnot ours to export:\n  ${foreign}")
endif()
list(LENGTH found count)
message(STATUS "libostrel.so exports exactly the ${count} functions of ostrel.h")

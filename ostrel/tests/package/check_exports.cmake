# Checks that libostrel.so exports the nineteen functions of ostrel.h and no
# other symbol. Besides them only symbols the linker itself may define are
# allowed: _init, _fini, _edata, _end, __bss_start, and the names of symbol
# version nodes (absolute symbols such as OSTREL_2), which carry no code.
#
# Variables: NM, LIBRARY, HEADER.

cmake_minimum_required(VERSION 3.25)

set(expected
  Tavi_Init Tavi_Update Tavi_Get_Version Tavi_Destroy
  Tavi_MessagesCount Tavi_Zel_GetMessage
  Tavi_SetUser Tavi_SetClient Tavi_SetAttribution Tavi_SetAppData
  Tavi_SetDeviceLocale Tavi_SetPlatform
  Tavi_Event_LevelUp Tavi_EventStartLoading Tavi_EventFinishLoading
  Tavi_EventTutorialStart Tavi_EventTutorialFinish
  Tavi_EventPurchase Tavi_CustomEvent)
set(linker_defined _init _fini _edata _end __bss_start)

# The header must declare exactly the same nineteen functions.
file(READ "${HEADER}" header)
string(REGEX MATCHALL "OSTREL_API[^;(]*[ *](Tavi_[A-Za-z_]+)\\(" declarations "${header}")
set(declared "")
foreach(declaration IN LISTS declarations)
  string(REGEX REPLACE ".*[ *](Tavi_[A-Za-z_]+)\\($" "\\1" name "${declaration}")
  list(APPEND declared ${name})
endforeach()
list(SORT declared)
set(sorted_expected ${expected})
list(SORT sorted_expected)
if(NOT declared STREQUAL sorted_expected)
  message(FATAL_ERROR "ostrel.h declares: ${declared}")
endif()

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

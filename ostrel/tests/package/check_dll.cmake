# Checks ostrel.dll from its PE headers (objdump -p): its export table holds
# the nineteen functions of ostrel.h and nothing else (no other name, no
# export by ordinal only), and it imports from system DLLs only, so that it
# loads next to any game: no MinGW runtime DLL (libstdc++-6, libgcc_s_seh-1,
# libwinpthread-1) may be needed.
#
# Variables: OBJDUMP, LIBRARY, HEADER.

cmake_minimum_required(VERSION 3.25)

include(${CMAKE_CURRENT_LIST_DIR}/exported_functions.cmake)
# Kernel, C runtime (msvcrt or the UCRT with its api-ms-win-crt-* sets) and
# COM (CoTaskMemAlloc).
set(system_dll "^(KERNEL32|msvcrt|ucrtbase|ole32|api-ms-win-[a-z0-9-]+)\\.dll$")

execute_process(COMMAND ${OBJDUMP} -p "${LIBRARY}"
  OUTPUT_VARIABLE listing COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" lines "${listing}")

set(section "")
set(addresses 0)
set(names "")
set(imports "")
foreach(line IN LISTS lines)
  if(line MATCHES "^Export Address Table")
    set(section addresses)
  elseif(line MATCHES "^\\[Ordinal/Name Pointer\\] Table")
    set(section names)
  elseif(line STREQUAL "")
    set(section "")
  elseif(section STREQUAL "addresses" AND line MATCHES "^\t\\[ *[0-9]+\\] ")
    math(EXPR addresses "${addresses} + 1")
  elseif(section STREQUAL "names" AND line MATCHES "^\t\\[ *[0-9]+\\] (.+)$")
    list(APPEND names "${CMAKE_MATCH_1}")
  endif()
  if(line MATCHES "^\tDLL Name: (.+)$")
    list(APPEND imports "${CMAKE_MATCH_1}")
  endif()
endforeach()

set(problems "")
set(missing ${expected})
list(REMOVE_ITEM missing ${names})
set(foreign ${names})
list(REMOVE_ITEM foreign ${expected})
if(missing)
  list(JOIN missing " " missing)
  list(APPEND problems "missing exports: ${missing}")
endif()
if(foreign)
  list(JOIN foreign " " foreign)
  list(APPEND problems "exports not ours: ${foreign}")
endif()
list(LENGTH names named)
if(NOT addresses EQUAL named)
  list(APPEND problems "${addresses} exported addresses for ${named} names")
endif()
if(NOT imports)
  list(APPEND problems "no import table found")
endif()
foreach(dll IN LISTS imports)
  string(TOLOWER "${dll}" dll_lower)
  string(TOLOWER "${system_dll}" pattern)
  if(NOT dll_lower MATCHES "${pattern}")
    list(APPEND problems "imports ${dll}, not a system DLL")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n  " problems)
  message(FATAL_ERROR "${LIBRARY}:\n  ${problems}\n\n${listing}")
endif()
list(JOIN imports " " imports)
message(STATUS "ostrel.dll exports exactly the ${named} functions of ostrel.h and imports only ${imports}")

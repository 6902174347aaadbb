# Installs the built library into a fresh prefix, builds consumer.c against
# it once through find_package(ostrel) and once through pkg-config, runs
# both programs and checks their output. For Windows (WINDOWS set) the
# consumer is cross-built through find_package(ostrel) alone, linked with the
# import library, and run with ostrel.dll copied next to it, as a game ships
# it.
#
# Variables: BUILD_DIR, CONSUMER_DIR, WORK_DIR, LIBDIR (relative install
# libdir), GENERATOR, C_COMPILER, C_FLAGS (sanitizer flags or empty),
# READELF, BASE_URL; for Windows WINDOWS, TOOLCHAIN_FILE and EMULATOR (the
# command that runs a Windows program).

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/installed_package_checks.cmake)

set(required BUILD_DIR CONSUMER_DIR WORK_DIR LIBDIR GENERATOR BASE_URL)
if(WINDOWS)
  list(APPEND required TOOLCHAIN_FILE EMULATOR)
else()
  list(APPEND required C_COMPILER READELF)
endif()
foreach(var IN LISTS required)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "package_test.cmake: ${var} is not set")
  endif()
endforeach()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}" --component ostrel
  COMMAND_ERROR_IS_FATAL ANY)

set(libdir "${prefix}/${LIBDIR}")
if(WINDOWS)
  set(library_files bin/ostrel.dll ${LIBDIR}/libostrel.dll.a)
else()
  set(library_files ${LIBDIR}/libostrel.so ${LIBDIR}/libostrel.so.2 ${LIBDIR}/libostrel.so.2.0.1)
endif()
require_installed("${prefix}"
  include/ostrel.h
  ${library_files}
  ${LIBDIR}/cmake/ostrel/ostrelConfig.cmake
  ${LIBDIR}/cmake/ostrel/ostrelConfigVersion.cmake
  ${LIBDIR}/cmake/ostrel/ostrelTargets.cmake
  ${LIBDIR}/pkgconfig/ostrel.pc)
file(GLOB unexpected "${libdir}/*.a" "${libdir}/*core*")
list(FILTER unexpected EXCLUDE REGEX "/libostrel\\.dll\\.a$")
if(unexpected)
  message(FATAL_ERROR "installed but internal: ${unexpected}")
endif()

if(NOT WINDOWS)
  require_soname(${READELF} "${libdir}/libostrel.so.2.0.1" libostrel.so.2)
endif()

string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" base_url_pattern "${BASE_URL}")

# Both consumers must print this; the messages are one JSON text per line.
function(check_output label output)
  string(CONCAT expected
    "^version=2\\.0\\.1\ncount=2\n"
    "message={\"data\":\"{[^\n]*_session\\.start[^\n]*\",\"headers\":\\[\"X-Api-Key: [A-Za-z0-9]+\",\"Content-Type: application/json\"\\],\"url\":\"${base_url_pattern}/v1/win/record\\?project=pkg-consumer\"}\n"
    "message={\"data\":\"\\[[^\n]*a_Levelup[^\n]*a_Purchase[^\n]*c_c-event[^\n]*_session\\.stop[^\n]*\",\"headers\":[^\n]*\"url\":\"${base_url_pattern}/v1/win/batch\\?project=pkg-consumer\"}\n"
    "after=0\n$")
  if(NOT output MATCHES "${expected}")
    message(FATAL_ERROR "${label}: unexpected output:\n${output}")
  endif()
  message(STATUS "${label}: output as expected")
endfunction()

set(cmake_build "${WORK_DIR}/cmake-consumer")
if(WINDOWS)
  # The toolchain searches packages under its find root only: the package is
  # named by its folder.
  set(consumer_options "-DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE}"
                       "-Dostrel_DIR=${libdir}/cmake/ostrel")
else()
  set(consumer_options "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_C_FLAGS=${C_FLAGS}"
                       "-DCMAKE_PREFIX_PATH=${prefix}")
endif()
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${CONSUMER_DIR}" -B "${cmake_build}" -G "${GENERATOR}"
          ${consumer_options} "-DOSTREL_EXPECTED_PREFIX=${prefix}"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${cmake_build}" COMMAND_ERROR_IS_FATAL ANY)
if(WINDOWS)
  file(COPY "${prefix}/bin/ostrel.dll" DESTINATION "${cmake_build}")
  set(run_consumer ${EMULATOR} "${cmake_build}/consumer.exe")
else()
  set(run_consumer "${cmake_build}/consumer")
endif()
execute_process(COMMAND ${run_consumer} OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
# Windows programs write text with CRLF line ends.
string(REPLACE "\r\n" "\n" output "${output}")
check_output("find_package consumer" "${output}")
if(WINDOWS)
  return()
endif()

check_pkg_config_consumer(ostrel 2.0.1 "${libdir}")

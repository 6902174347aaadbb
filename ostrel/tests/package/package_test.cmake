# Installs the built library into a fresh prefix, builds consumer.c against
# it once through find_package(ostrel) and once through pkg-config, runs
# both programs and checks their output.
#
# Variables: BUILD_DIR, CONSUMER_DIR, WORK_DIR, LIBDIR (relative install
# libdir), GENERATOR, C_COMPILER, C_FLAGS (sanitizer flags or empty),
# READELF, BASE_URL.

cmake_minimum_required(VERSION 3.25)

foreach(var BUILD_DIR CONSUMER_DIR WORK_DIR LIBDIR GENERATOR C_COMPILER READELF BASE_URL)
  if(NOT DEFINED ${var})
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
foreach(file
    include/ostrel.h
    ${LIBDIR}/libostrel.so ${LIBDIR}/libostrel.so.2 ${LIBDIR}/libostrel.so.2.0.1
    ${LIBDIR}/cmake/ostrel/ostrelConfig.cmake
    ${LIBDIR}/cmake/ostrel/ostrelConfigVersion.cmake
    ${LIBDIR}/cmake/ostrel/ostrelTargets.cmake
    ${LIBDIR}/pkgconfig/ostrel.pc)
  if(NOT EXISTS "${prefix}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(GLOB unexpected "${libdir}/*.a" "${libdir}/*core*")
if(unexpected)
  message(FATAL_ERROR "installed but internal: ${unexpected}")
endif()

execute_process(COMMAND ${READELF} -d "${libdir}/libostrel.so.2.0.1"
  OUTPUT_VARIABLE dynamic COMMAND_ERROR_IS_FATAL ANY)
if(NOT dynamic MATCHES "Library soname: \\[libostrel\\.so\\.2\\]")
  message(FATAL_ERROR "SONAME is not libostrel.so.2:\n${dynamic}")
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
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${CONSUMER_DIR}" -B "${cmake_build}" -G "${GENERATOR}"
          "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_C_FLAGS=${C_FLAGS}"
          "-DCMAKE_PREFIX_PATH=${prefix}" "-DOSTREL_EXPECTED_PREFIX=${prefix}"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${cmake_build}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${cmake_build}/consumer"
  OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
check_output("find_package consumer" "${output}")

set(ENV{PKG_CONFIG_PATH} "${libdir}/pkgconfig")
execute_process(COMMAND pkg-config --modversion ostrel
  OUTPUT_VARIABLE modversion OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
if(NOT modversion STREQUAL "2.0.1")
  message(FATAL_ERROR "pkg-config reports version ${modversion}")
endif()
execute_process(COMMAND pkg-config --cflags --libs ostrel
  OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")
set(pc_program "${WORK_DIR}/consumer-pkg-config")
execute_process(
  COMMAND ${C_COMPILER} ${c_flags} -std=c99 -Wall -Wextra -Wpedantic -Werror
          "${CONSUMER_DIR}/consumer.c" ${pc_flags} -o "${pc_program}"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${libdir}" "${pc_program}"
  OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
check_output("pkg-config consumer" "${output}")

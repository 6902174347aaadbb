# Installs the built delivery library into a fresh prefix, checks its files,
# SONAME and exported symbols, builds consumer.c against it once through
# find_package(ostrel_delivery) and once through pkg-config, and runs both.
#
# Variables: BUILD_DIR, CONSUMER_DIR, WORK_DIR, LIBDIR (relative install
# libdir), GENERATOR, C_COMPILER, C_FLAGS (sanitizer flags or empty), NM,
# READELF.

cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../../../cmake/installed_package_checks.cmake)

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(
  COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
          --component ostrel_delivery
  COMMAND_ERROR_IS_FATAL ANY)

set(libdir "${prefix}/${LIBDIR}")
require_installed("${prefix}"
  include/ostrel_delivery.h
  ${LIBDIR}/libostrel_delivery.so ${LIBDIR}/libostrel_delivery.so.2
  ${LIBDIR}/libostrel_delivery.so.2.0.0
  ${LIBDIR}/cmake/ostrel_delivery/ostrel_deliveryConfig.cmake
  ${LIBDIR}/cmake/ostrel_delivery/ostrel_deliveryConfigVersion.cmake
  ${LIBDIR}/cmake/ostrel_delivery/ostrel_deliveryTargets.cmake
  ${LIBDIR}/pkgconfig/ostrel_delivery.pc)
file(GLOB unexpected "${libdir}/*.a" "${libdir}/*ostrel.so*" "${prefix}/include/ostrel.h")
if(unexpected)
  message(FATAL_ERROR "installed but not part of the component: ${unexpected}")
endif()

set(library "${libdir}/libostrel_delivery.so.2.0.0")
require_soname(${READELF} "${library}" libostrel_delivery.so.2)

# Exactly the functions the header declares leave the library.
execute_process(COMMAND ${NM} -D --defined-only "${library}" OUTPUT_VARIABLE symbols
  COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "[ \t][TDBRVW] [A-Za-z_][A-Za-z0-9_]*" exported "${symbols}")
list(TRANSFORM exported REPLACE "^[ \t][TDBRVW] " "")
list(SORT exported)
file(READ "${CONSUMER_DIR}/../../../include/ostrel_delivery.h" header)
string(REGEX MATCHALL "DELIVERY_API [^(]*[ *](Delivery_[A-Za-z]+)\\(" declared "${header}")
list(TRANSFORM declared REPLACE ".*(Delivery_[A-Za-z]+)\\($" "\\1")
list(SORT declared)
if(NOT exported STREQUAL declared)
  message(FATAL_ERROR "exported: ${exported}\ndeclared: ${declared}")
endif()

function(check_output label output)
  if(NOT output STREQUAL "version=2.0.0\nsubmit=0 key-length=36 bytes=68\nkept=1\n")
    message(FATAL_ERROR "${label}: unexpected output:\n${output}")
  endif()
  message(STATUS "${label}: output as expected")
endfunction()

set(cmake_build "${WORK_DIR}/cmake-consumer")
execute_process(
  COMMAND ${CMAKE_COMMAND} -S "${CONSUMER_DIR}" -B "${cmake_build}" -G "${GENERATOR}"
          "-DCMAKE_C_COMPILER=${C_COMPILER}" "-DCMAKE_C_FLAGS=${C_FLAGS}"
          "-DCMAKE_PREFIX_PATH=${prefix}" "-DDELIVERY_EXPECTED_PREFIX=${prefix}"
  COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build "${cmake_build}" COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND "${cmake_build}/consumer" "${WORK_DIR}/outbox-cmake"
  OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
check_output("find_package consumer" "${output}")

check_pkg_config_consumer(ostrel_delivery 2.0.0 "${libdir}" "${WORK_DIR}/outbox-pkg-config")

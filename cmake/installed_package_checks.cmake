# Steps shared by the installed-package tests (run with cmake -P): they read
# the test's variables CONSUMER_DIR, WORK_DIR, C_COMPILER and C_FLAGS, and
# the test defines check_output(label output) for its consumer's output.

# Fails unless every file (relative to `prefix`) is installed.
function(require_installed prefix)
  foreach(file IN LISTS ARGN)
    if(NOT EXISTS "${prefix}/${file}")
      message(FATAL_ERROR "not installed: ${file}")
    endif()
  endforeach()
endfunction()

# Fails unless the ELF `library` carries the SONAME `soname`.
function(require_soname readelf library soname)
  execute_process(COMMAND ${readelf} -d "${library}" OUTPUT_VARIABLE dynamic
    COMMAND_ERROR_IS_FATAL ANY)
  string(REPLACE "." "\\." pattern "${soname}")
  if(NOT dynamic MATCHES "Library soname: \\[${pattern}\\]")
    message(FATAL_ERROR "SONAME is not ${soname}:\n${dynamic}")
  endif()
endfunction()

# Builds consumer.c with the flags `pkg-config` gives for `package` (whose
# .pc file is under `libdir`), after checking it reports `version`; runs it
# with the further arguments and checks its output.
function(check_pkg_config_consumer package version libdir)
  set(ENV{PKG_CONFIG_PATH} "${libdir}/pkgconfig")
  execute_process(COMMAND pkg-config --modversion ${package}
    OUTPUT_VARIABLE modversion OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  if(NOT modversion STREQUAL version)
    message(FATAL_ERROR "pkg-config reports version ${modversion}")
  endif()
  execute_process(COMMAND pkg-config --cflags --libs ${package}
    OUTPUT_VARIABLE pc_flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
  separate_arguments(c_flags UNIX_COMMAND "${C_FLAGS}")
  set(program "${WORK_DIR}/consumer-pkg-config")
  execute_process(
    COMMAND ${C_COMPILER} ${c_flags} -std=c99 -Wall -Wextra -Wpedantic -Werror
            "${CONSUMER_DIR}/consumer.c" ${pc_flags} -o "${program}"
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env "LD_LIBRARY_PATH=${libdir}" "${program}" ${ARGN}
    OUTPUT_VARIABLE output COMMAND_ERROR_IS_FATAL ANY)
  check_output("pkg-config consumer" "${output}")
endfunction()

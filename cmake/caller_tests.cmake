# Tests of the project's shared libraries called from other languages'
# runtimes (python3, mono), which are not built with the project's
# sanitizers.

# The environment such a runtime needs to load a sanitized library: the
# sanitizer's runtime preloaded first and leak checks off (the runtimes keep
# memory until exit). WITH_CXX_RUNTIME preloads the C++ runtime too, for a
# runtime that does not link it (mono): the sanitizer's exception
# interceptor must find it at start. Under ThreadSanitizer, races the
# runtime makes in its own memory are suppressed (it is not instrumented).
function(caller_test_environment out)
  cmake_parse_arguments(PARSE_ARGV 1 arg "WITH_CXX_RUNTIME" "" "")
  set(environment "")
  if(OSTREL_CORVANE_SANITIZE MATCHES "address|thread")
    if(OSTREL_CORVANE_SANITIZE MATCHES "address")
      set(runtime libasan.so)
    else()
      set(runtime libtsan.so)
    endif()
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime}
      OUTPUT_VARIABLE preload OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(arg_WITH_CXX_RUNTIME)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.so.6
        OUTPUT_VARIABLE cxx_runtime OUTPUT_STRIP_TRAILING_WHITESPACE)
      string(APPEND preload ":${cxx_runtime}")
    endif()
    list(APPEND environment "LD_PRELOAD=${preload}" "ASAN_OPTIONS=detect_leaks=0"
      "TSAN_OPTIONS=suppressions=${OSTREL_CORVANE_MONO_TSAN_SUPPRESSIONS}")
  endif()
  set(${out} "${environment}" PARENT_SCOPE)
endfunction()

# Compiles the C# program SOURCES with mcs into <name>.exe and registers it
# as the test <name>, run by mono. Mono resolves [DllImport("<DLL>")]
# through a map to the LIBRARY target just built, never to one installed
# elsewhere.
#   add_mono_caller_test(<name> DLL <dll> LIBRARY <target> SOURCES <file>...
#                        [ENVIRONMENT <VAR=value>...] [TIMEOUT <seconds>])
function(add_mono_caller_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DLL;LIBRARY;TIMEOUT" "SOURCES;ENVIRONMENT")
  find_program(OSTREL_CORVANE_MCS mcs)
  find_program(OSTREL_CORVANE_MONO mono)
  if(NOT OSTREL_CORVANE_MCS OR NOT OSTREL_CORVANE_MONO)
    message(WARNING "mcs or mono not found: the C# caller test ${name} is not registered")
    return()
  endif()
  set(program ${CMAKE_CURRENT_BINARY_DIR}/${name}.exe)
  add_custom_command(OUTPUT ${program}
    COMMAND ${OSTREL_CORVANE_MCS} -nologo -warnaserror+ -target:exe -out:${program} ${arg_SOURCES}
    DEPENDS ${arg_SOURCES}
    COMMENT "Compiling the C# caller ${name}.exe"
    VERBATIM)
  add_custom_target(${name} ALL DEPENDS ${program})
  file(GENERATE OUTPUT ${program}.config CONTENT
"<configuration>
  <dllmap dll=\"${arg_DLL}\" target=\"$<TARGET_FILE:${arg_LIBRARY}>\"/>
</configuration>
")
  add_test(NAME ${name} COMMAND ${OSTREL_CORVANE_MONO} --debug ${program})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${arg_ENVIRONMENT}" LABELS callers)
  if(arg_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${arg_TIMEOUT})
  endif()
endfunction()

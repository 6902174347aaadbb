# How Ostrel's test programs are registered with CTest.
#
# Natively a GoogleTest program is asked for its test cases after the build,
# and each case is a CTest test. In a cross build the programs run through
# CMAKE_CROSSCOMPILING_EMULATOR (Wine for Windows), where every start costs
# a second or more, so each program is one test. Under Wine every such test
# needs the Wine prefix, whose first start takes seconds and must not race:
# one setup test creates it first.

if(CMAKE_CROSSCOMPILING AND OSTREL_WINE)
  add_test(NAME ostrel_wine_prefix COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} wineboot --init)
  set_tests_properties(ostrel_wine_prefix PROPERTIES FIXTURES_SETUP ostrel_wine_prefix)
  set(OSTREL_WINE_FIXTURE ostrel_wine_prefix)
endif()

# ostrel_target_tests(<test>...): the tests run programs built for the target.
# Call it in the directory that added the tests.
function(ostrel_target_tests)
  if(OSTREL_WINE_FIXTURE)
    set_tests_properties(${ARGN} PROPERTIES FIXTURES_REQUIRED ${OSTREL_WINE_FIXTURE})
  endif()
endfunction()

# ostrel_add_gtest(<target>): registers the GoogleTest program <target>.
function(ostrel_add_gtest target)
  if(CMAKE_CROSSCOMPILING)
    add_test(NAME ${target} COMMAND ${target})
    ostrel_target_tests(${target})
  else()
    gtest_discover_tests(${target})
  endif()
endfunction()

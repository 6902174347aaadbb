# Cross-build for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64),
# programs run under Wine (wine64). Used by the "windows" preset.
#
# - The posix flavour of the compilers: the complete C++ thread library. Every
#   program and DLL links libgcc, libstdc++ and winpthread statically, so none
#   needs a MinGW runtime DLL next to it.
# - Programs run through Wine (wine-run, which starts a program again when
#   Wine loses its server connection) with a prefix of their own inside the
#   build tree (created on first start) and Wine's diagnostics off.
# - nlohmann json is header-only, so Debian's package serves the target too;
#   see below.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OSTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OSTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OSTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${OSTREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OSTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Debian's wine64 package installs the loader outside PATH.
find_program(OSTREL_WINE NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
find_program(OSTREL_WINE NAMES wine64 wine)
get_property(ostrel_in_try_compile GLOBAL PROPERTY IN_TRY_COMPILE)
if(OSTREL_WINE)
  set(OSTREL_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH
      "Wine prefix the cross-built programs run in")
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env WINEPREFIX=${OSTREL_WINE_PREFIX} WINEDEBUG=-all
      ${CMAKE_CURRENT_LIST_DIR}/wine-run ${OSTREL_WINE})
elseif(NOT ostrel_in_try_compile)
  message(WARNING "wine64 (Debian package wine64) not found: the Windows programs cannot be run")
endif()

# Debian's nlohmann json package describes its headers as /usr/include, which
# must never reach a Windows compile: the C library's headers there would
# shadow MinGW's. A prefix in the build tree that holds links to the package
# files and to the nlohmann headers alone is found instead.
if(NOT ostrel_in_try_compile AND EXISTS /usr/share/cmake/nlohmann_json)
  set(ostrel_json_prefix "${CMAKE_BINARY_DIR}/host-nlohmann-json")
  file(MAKE_DIRECTORY "${ostrel_json_prefix}/include" "${ostrel_json_prefix}/share/cmake")
  file(CREATE_LINK /usr/include/nlohmann "${ostrel_json_prefix}/include/nlohmann" SYMBOLIC)
  file(CREATE_LINK /usr/share/cmake/nlohmann_json
       "${ostrel_json_prefix}/share/cmake/nlohmann_json" SYMBOLIC)
  set(nlohmann_json_DIR "${ostrel_json_prefix}/share/cmake/nlohmann_json" CACHE PATH
      "nlohmann json's CMake package, linked from the Debian package")
endif()

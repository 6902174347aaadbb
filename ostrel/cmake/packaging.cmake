# Installation of libostrel.so as a package: the shared library with its
# SONAME, the public header, a CMake package (find_package(ostrel) gives
# ostrel::ostrel) and a pkg-config file. Everything goes into the install
# component "ostrel", so `cmake --install <build> --component ostrel` installs
# the library alone. The static ostrel_core is linked into libostrel.so and is
# never installed.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(OSTREL_PACKAGE_VERSION 2.0.1)
set(OSTREL_PACKAGE_SOVERSION 2)

set_target_properties(ostrel PROPERTIES
  VERSION ${OSTREL_PACKAGE_VERSION}
  SOVERSION ${OSTREL_PACKAGE_SOVERSION})

# A consumer of the installed library needs nothing but the header and the
# shared object. Build-tree include directories and link dependencies (the
# static core, the JSON library) stay build-only so that the exported target
# names nothing that is not installed.
function(ostrel_wrap_build_only target property)
  get_target_property(values ${target} ${property})
  if(NOT values)
    set(values "")
  endif()
  set(wrapped "")
  foreach(value IN LISTS values)
    if(value MATCHES "^\\$<(BUILD|INSTALL)_INTERFACE:")
      list(APPEND wrapped "${value}")
    else()
      list(APPEND wrapped "$<BUILD_INTERFACE:${value}>")
    endif()
  endforeach()
  set_property(TARGET ${target} PROPERTY ${property} "${wrapped}")
endfunction()

ostrel_wrap_build_only(ostrel INTERFACE_LINK_LIBRARIES)
ostrel_wrap_build_only(ostrel INTERFACE_INCLUDE_DIRECTORIES)
set_property(TARGET ostrel APPEND PROPERTY
  INTERFACE_INCLUDE_DIRECTORIES "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")

set(ostrel_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/ostrel")

install(TARGETS ostrel EXPORT ostrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ostrel
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ostrel
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ostrel)
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/include/ostrel.h"
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ostrel)
install(EXPORT ostrelTargets NAMESPACE ostrel::
  DESTINATION ${ostrel_cmake_dir} COMPONENT ostrel)

configure_package_config_file(
  "${CMAKE_CURRENT_LIST_DIR}/ostrelConfig.cmake.in"
  "${CMAKE_CURRENT_BINARY_DIR}/ostrelConfig.cmake"
  INSTALL_DESTINATION ${ostrel_cmake_dir})
write_basic_package_version_file(
  "${CMAKE_CURRENT_BINARY_DIR}/ostrelConfigVersion.cmake"
  VERSION ${OSTREL_PACKAGE_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${CMAKE_CURRENT_BINARY_DIR}/ostrelConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/ostrelConfigVersion.cmake"
  DESTINATION ${ostrel_cmake_dir} COMPONENT ostrel)

# The pkg-config file locates the prefix relative to itself, so the package
# still works when installed with `cmake --install --prefix <elsewhere>`.
set(ostrel_pc_dir "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
if(IS_ABSOLUTE "${ostrel_pc_dir}")
  set(OSTREL_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH ostrel_pc_up "/prefix/${ostrel_pc_dir}" "/prefix")
  string(REGEX REPLACE "/$" "" ostrel_pc_up "${ostrel_pc_up}")
  set(OSTREL_PC_PREFIX "\${pcfiledir}/${ostrel_pc_up}")
endif()
foreach(kind INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(OSTREL_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(OSTREL_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file("${CMAKE_CURRENT_LIST_DIR}/ostrel.pc.in"
  "${CMAKE_CURRENT_BINARY_DIR}/ostrel.pc" @ONLY)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/ostrel.pc"
  DESTINATION ${ostrel_pc_dir} COMPONENT ostrel)

# Installation of one of the project's shared libraries as a package: the
# library with its SONAME, its public header, a CMake package
# (find_package(<target>) gives <target>::<target>) and a pkg-config file,
# all in the install component named after the target:
#   cmake --install <build> --component <target> --prefix DIR
# The library's static core is linked into it and never installed.
#
#   install_library_package(<target> VERSION <x.y.z> SOVERSION <n> HEADER <file>)
#
# The caller's folder holds cmake/<target>.pc.in, which may use @PC_PREFIX@,
# @PC_INCLUDEDIR@, @PC_LIBDIR@ and @PACKAGE_VERSION@.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(LIBRARY_PACKAGE_CONFIG_TEMPLATE "${CMAKE_CURRENT_LIST_DIR}/library_package_config.cmake.in")

# A consumer of the installed library needs nothing but the header and the
# shared object: build-tree include directories and link dependencies (the
# static core, third-party libraries) stay build-only, so the exported target
# names nothing that is not installed.
function(library_package_wrap_build_only target property)
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

# Writes <target>.pc with a prefix found relative to the file itself, so the
# package still works when installed with `cmake --install --prefix <elsewhere>`.
function(library_package_pkg_config target version destination)
  if(IS_ABSOLUTE "${destination}")
    set(PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  else()
    file(RELATIVE_PATH up "/prefix/${destination}" "/prefix")
    string(REGEX REPLACE "/$" "" up "${up}")
    set(PC_PREFIX "\${pcfiledir}/${up}")
  endif()
  foreach(kind INCLUDEDIR LIBDIR)
    if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
      set(PC_${kind} "${CMAKE_INSTALL_${kind}}")
    else()
      set(PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
    endif()
  endforeach()
  set(PACKAGE_VERSION ${version})
  configure_file("${CMAKE_CURRENT_SOURCE_DIR}/cmake/${target}.pc.in"
    "${CMAKE_CURRENT_BINARY_DIR}/${target}.pc" @ONLY)
  install(FILES "${CMAKE_CURRENT_BINARY_DIR}/${target}.pc"
    DESTINATION ${destination} COMPONENT ${target})
endfunction()

function(install_library_package target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "VERSION;SOVERSION;HEADER" "")
  set_target_properties(${target} PROPERTIES
    VERSION ${arg_VERSION}
    SOVERSION ${arg_SOVERSION})

  library_package_wrap_build_only(${target} INTERFACE_LINK_LIBRARIES)
  library_package_wrap_build_only(${target} INTERFACE_INCLUDE_DIRECTORIES)
  set_property(TARGET ${target} APPEND PROPERTY
    INTERFACE_INCLUDE_DIRECTORIES "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")

  set(cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/${target}")
  install(TARGETS ${target} EXPORT ${target}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${target}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${target}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${target})
  install(FILES "${arg_HEADER}"
    DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ${target})
  install(EXPORT ${target}Targets NAMESPACE ${target}::
    DESTINATION ${cmake_dir} COMPONENT ${target})

  get_filename_component(header_name "${arg_HEADER}" NAME)
  set(package ${target})
  configure_package_config_file("${LIBRARY_PACKAGE_CONFIG_TEMPLATE}"
    "${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake"
    INSTALL_DESTINATION ${cmake_dir})
  write_basic_package_version_file(
    "${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake"
    VERSION ${arg_VERSION}
    COMPATIBILITY SameMajorVersion)
  install(FILES
    "${CMAKE_CURRENT_BINARY_DIR}/${target}Config.cmake"
    "${CMAKE_CURRENT_BINARY_DIR}/${target}ConfigVersion.cmake"
    DESTINATION ${cmake_dir} COMPONENT ${target})

  library_package_pkg_config(${target} ${arg_VERSION} "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
endfunction()

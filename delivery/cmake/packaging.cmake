# Installation of libostrel_delivery.so as a package: the shared library with
# its SONAME, the public header, a CMake package
# (find_package(ostrel_delivery) gives ostrel_delivery::ostrel_delivery) and a
# pkg-config file, all in the install component "ostrel_delivery":
#   cmake --install <build> --component ostrel_delivery --prefix DIR
# The static core is linked into the shared library and never installed.

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(DELIVERY_PACKAGE_VERSION 1.0.0)
set(DELIVERY_PACKAGE_SOVERSION 1)

set_target_properties(ostrel_delivery PROPERTIES
  VERSION ${DELIVERY_PACKAGE_VERSION}
  SOVERSION ${DELIVERY_PACKAGE_SOVERSION})

# The exported target names nothing that is not installed: build-tree
# include directories and link dependencies stay build-only.
foreach(property INTERFACE_LINK_LIBRARIES INTERFACE_INCLUDE_DIRECTORIES)
  get_target_property(values ostrel_delivery ${property})
  set(wrapped "")
  foreach(value IN LISTS values)
    if(value)
      list(APPEND wrapped "$<BUILD_INTERFACE:${value}>")
    endif()
  endforeach()
  set_property(TARGET ostrel_delivery PROPERTY ${property} "${wrapped}")
endforeach()
set_property(TARGET ostrel_delivery APPEND PROPERTY
  INTERFACE_INCLUDE_DIRECTORIES "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")

set(delivery_cmake_dir "${CMAKE_INSTALL_LIBDIR}/cmake/ostrel_delivery")

install(TARGETS ostrel_delivery EXPORT ostrel_deliveryTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ostrel_delivery
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ostrel_delivery
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ostrel_delivery)
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/include/ostrel_delivery.h"
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT ostrel_delivery)
install(EXPORT ostrel_deliveryTargets NAMESPACE ostrel_delivery::
  DESTINATION ${delivery_cmake_dir} COMPONENT ostrel_delivery)

configure_package_config_file(
  "${CMAKE_CURRENT_LIST_DIR}/ostrel_deliveryConfig.cmake.in"
  "${CMAKE_CURRENT_BINARY_DIR}/ostrel_deliveryConfig.cmake"
  INSTALL_DESTINATION ${delivery_cmake_dir})
write_basic_package_version_file(
  "${CMAKE_CURRENT_BINARY_DIR}/ostrel_deliveryConfigVersion.cmake"
  VERSION ${DELIVERY_PACKAGE_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  "${CMAKE_CURRENT_BINARY_DIR}/ostrel_deliveryConfig.cmake"
  "${CMAKE_CURRENT_BINARY_DIR}/ostrel_deliveryConfigVersion.cmake"
  DESTINATION ${delivery_cmake_dir} COMPONENT ostrel_delivery)

# The pkg-config file finds the prefix relative to itself, so the package
# still works when installed with `cmake --install --prefix <elsewhere>`.
set(delivery_pc_dir "${CMAKE_INSTALL_LIBDIR}/pkgconfig")
if(IS_ABSOLUTE "${delivery_pc_dir}")
  set(DELIVERY_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  file(RELATIVE_PATH delivery_pc_up "/prefix/${delivery_pc_dir}" "/prefix")
  string(REGEX REPLACE "/$" "" delivery_pc_up "${delivery_pc_up}")
  set(DELIVERY_PC_PREFIX "\${pcfiledir}/${delivery_pc_up}")
endif()
foreach(kind INCLUDEDIR LIBDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(DELIVERY_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(DELIVERY_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file("${CMAKE_CURRENT_LIST_DIR}/ostrel_delivery.pc.in"
  "${CMAKE_CURRENT_BINARY_DIR}/ostrel_delivery.pc" @ONLY)
install(FILES "${CMAKE_CURRENT_BINARY_DIR}/ostrel_delivery.pc"
  DESTINATION ${delivery_pc_dir} COMPONENT ostrel_delivery)

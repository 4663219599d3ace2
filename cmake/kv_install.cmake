# Install rules: the two public headers, the three shared libraries, the tools, a CMake
# package (find_package(kvpolygon CONFIG)) and a pkg-config file (kvpolygon.pc). Both the
# package and the .pc file find their prefix from where they lie, so an installed tree
# may be moved.
include(CMakePackageConfigHelpers)

set(KV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kvpolygon)
set(KV_PKGCONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/include/kvpolygon.h ${PROJECT_SOURCE_DIR}/include/kvhost.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS kvpolygon kvhost kvplatform EXPORT kvpolygonTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(EXPORT kvpolygonTargets NAMESPACE kvpolygon:: DESTINATION ${KV_CMAKE_DIR})

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kvpolygonConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kvpolygonConfig.cmake INSTALL_DESTINATION ${KV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kvpolygonConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kvpolygonConfig.cmake ${PROJECT_BINARY_DIR}/kvpolygonConfigVersion.cmake
        DESTINATION ${KV_CMAKE_DIR})

# kvpolygon.pc names its prefix relative to its own folder.
file(RELATIVE_PATH KV_PC_TO_PREFIX /prefix/${KV_PKGCONFIG_DIR} /prefix)
string(REGEX REPLACE "/$" "" KV_PC_TO_PREFIX "${KV_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kvpolygon.pc.in ${PROJECT_BINARY_DIR}/kvpolygon.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kvpolygon.pc DESTINATION ${KV_PKGCONFIG_DIR})

# Every program under tools/ is installed, and finds the libraries in the lib folder.
if(KV_BUILD_TOOLS)
  file(RELATIVE_PATH KV_BIN_TO_LIB /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_LIBDIR})
  get_property(KV_TOOL_TARGETS DIRECTORY ${PROJECT_SOURCE_DIR}/tools PROPERTY BUILDSYSTEM_TARGETS)
  foreach(tool IN LISTS KV_TOOL_TARGETS)
    get_target_property(type ${tool} TYPE)
    if(type STREQUAL "EXECUTABLE")
      set_target_properties(${tool} PROPERTIES INSTALL_RPATH "$ORIGIN/${KV_BIN_TO_LIB}")
      install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
  endforeach()
endif()

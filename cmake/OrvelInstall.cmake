# Installing the library: every layer under its namespaced name (Orvel::treeview, ...), the
# umbrella target Orvel::Orvel, the headers under include/orvel/ (the include paths stay those of
# the repository), a CMake package whose config finds the layers' own dependencies, a pkg-config
# file, and the Debian package orvel-dev through CPack.
include(CMakePackageConfigHelpers)

set(ORVEL_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Orvel)

# The layers applications use, lowest first (the order pkg-config links them in, reversed).
set(ORVEL_INSTALLED_LAYERS orvel_host_core orvel_host_data orvel_host_controls orvel_host_platform
    orvel_host_design orvel_containers orvel_schema orvel_grid orvel_controls orvel_listview
    orvel_treeview orvel_design)

set(installed "")
foreach(layer IN LISTS ORVEL_INSTALLED_LAYERS)
  if(TARGET ${layer})
    string(REGEX REPLACE "^orvel_" "" short ${layer})
    set_target_properties(${layer} PROPERTIES EXPORT_NAME ${short})
    add_library(Orvel::${short} ALIAS ${layer})
    list(APPEND installed ${layer})
  endif()
endforeach()

add_library(orvel_umbrella INTERFACE)
set_target_properties(orvel_umbrella PROPERTIES EXPORT_NAME Orvel)
target_link_libraries(orvel_umbrella INTERFACE ${installed})
add_library(Orvel::Orvel ALIAS orvel_umbrella)

install(TARGETS ${installed} orvel_umbrella EXPORT OrvelTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/orvel/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvel
        FILES_MATCHING PATTERN "*.h")
install(EXPORT OrvelTargets NAMESPACE Orvel:: DESTINATION ${ORVEL_PACKAGE_DIR})

# What the installed layers link beyond themselves: found again by the package's config, named
# in the pkg-config file and required by the Debian package.
set(ORVEL_FIND_DEPENDENCIES "find_dependency(SQLite3)\nfind_dependency(PNG)\nfind_dependency(Freetype)\nfind_dependency(Fontconfig)")
set(ORVEL_PC_REQUIRES "sqlite3 libpng freetype2 fontconfig")
set(ORVEL_DEB_DEPENDS "libsqlite3-dev, libpng-dev, libfreetype-dev, libfontconfig-dev, fonts-dejavu-core")
if(TARGET PkgConfig::LIBPQ)
  string(APPEND ORVEL_FIND_DEPENDENCIES
         "\nfind_dependency(PkgConfig)\npkg_check_modules(LIBPQ REQUIRED IMPORTED_TARGET libpq)")
  string(APPEND ORVEL_PC_REQUIRES " libpq")
  string(APPEND ORVEL_DEB_DEPENDS ", libpq-dev")
endif()
if(TARGET orvel_host_platform)
  string(APPEND ORVEL_FIND_DEPENDENCIES "\nfind_dependency(SDL2)")
  string(APPEND ORVEL_PC_REQUIRES " sdl2")
  string(APPEND ORVEL_DEB_DEPENDS ", libsdl2-dev")
endif()

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/OrvelConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/OrvelConfig.cmake
                              INSTALL_DESTINATION ${ORVEL_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/OrvelConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/OrvelConfig.cmake ${CMAKE_BINARY_DIR}/OrvelConfigVersion.cmake
        DESTINATION ${ORVEL_PACKAGE_DIR})

# pkg-config: the prefix is found from the file's own place, so the installed tree can move.
set(ORVEL_PC_LIBS "")
set(reversed ${installed})
list(REVERSE reversed)
foreach(layer IN LISTS reversed)
  string(APPEND ORVEL_PC_LIBS " -l${layer}")
endforeach()
file(RELATIVE_PATH ORVEL_PC_TO_PREFIX /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
configure_file(${CMAKE_SOURCE_DIR}/cmake/orvel.pc.in ${CMAKE_BINARY_DIR}/orvel.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/orvel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Debian package: cpack -G DEB in the build folder writes orvel-dev_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvel-dev)
set(CPACK_PACKAGE_VENDOR "Orvel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Data-aware components for desktop database applications (development files)")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Orvel developers <orvel@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${ORVEL_DEB_DEPENDS}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)

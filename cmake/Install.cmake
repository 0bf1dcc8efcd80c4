# cmake --install puts the library, its header, a CMake package and a
# pkg-config file, under this variant's names (cmake/QtMajor.cmake): a Qt 5
# host writes find_package(Ordelin) and links Ordelin::Ordelin, a Qt 6 host
# find_package(OrdelinQt6) and OrdelinQt6::Ordelin. Components: "runtime"
# is the shared library a runtime loads, "dev" what a host builds against
# (cmake/Packaging.cmake makes one Debian package of each).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(ORDELIN_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}${ORDELIN_INCLUDE_SUBDIR})
install(TARGETS Ordelin EXPORT ${ORDELIN_PACKAGE}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    INCLUDES DESTINATION ${ORDELIN_INSTALL_INCLUDEDIR})
install(DIRECTORY include/ordelin DESTINATION ${ORDELIN_INSTALL_INCLUDEDIR} COMPONENT dev)

set(ORDELIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/${ORDELIN_PACKAGE})
install(EXPORT ${ORDELIN_PACKAGE}Targets NAMESPACE ${ORDELIN_PACKAGE}:: DESTINATION ${ORDELIN_CMAKE_DIR}
        COMPONENT dev)
configure_package_config_file(cmake/OrdelinConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${ORDELIN_PACKAGE}Config.cmake
    INSTALL_DESTINATION ${ORDELIN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${ORDELIN_PACKAGE}ConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ORDELIN_PACKAGE}Config.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/${ORDELIN_PACKAGE}ConfigVersion.cmake
        DESTINATION ${ORDELIN_CMAKE_DIR} COMPONENT dev)

set(ORDELIN_PKGCONFIG_NAME ordelin${ORDELIN_FILE_SUFFIX})
file(RELATIVE_PATH ORDELIN_PKGCONFIG_TO_PREFIX
    ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
configure_file(cmake/ordelin.pc.in ${CMAKE_CURRENT_BINARY_DIR}/${ORDELIN_PKGCONFIG_NAME}.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${ORDELIN_PKGCONFIG_NAME}.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# cmake --install puts the library, its header, a CMake package (hosts write
# find_package(Ordelin) and link Ordelin::Ordelin) and ordelin.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS Ordelin EXPORT OrdelinTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY include/ordelin DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(ORDELIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Ordelin)
install(EXPORT OrdelinTargets NAMESPACE Ordelin:: DESTINATION ${ORDELIN_CMAKE_DIR})
configure_package_config_file(cmake/OrdelinConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/OrdelinConfig.cmake
    INSTALL_DESTINATION ${ORDELIN_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/OrdelinConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/OrdelinConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/OrdelinConfigVersion.cmake
        DESTINATION ${ORDELIN_CMAKE_DIR})

configure_file(cmake/ordelin.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ordelin.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ordelin.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

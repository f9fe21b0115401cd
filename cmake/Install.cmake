# Installs the libraries, their headers and a package config, so that a plug-in writes
#     find_package(FileIoInterface CONFIG REQUIRED)
#     target_link_libraries(myPlugin PRIVATE FileIoInterface::FileIoInterface)
include(CMakePackageConfigHelpers)

install(TARGETS Orvid_Core Orvid_Utils Orvid_Maths FileIoInterface FileIoInterfaceLas
    EXPORT FileIoInterfaceTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(FILEIO_CONFIG_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/FileIoInterface)
install(EXPORT FileIoInterfaceTargets NAMESPACE FileIoInterface:: DESTINATION ${FILEIO_CONFIG_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/FileIoInterfaceConfig.cmake.in
    ${PROJECT_BINARY_DIR}/FileIoInterfaceConfig.cmake INSTALL_DESTINATION ${FILEIO_CONFIG_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/FileIoInterfaceConfigVersion.cmake
    COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/FileIoInterfaceConfig.cmake
    ${PROJECT_BINARY_DIR}/FileIoInterfaceConfigVersion.cmake DESTINATION ${FILEIO_CONFIG_DIR})

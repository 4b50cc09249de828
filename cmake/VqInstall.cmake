# Installs the headers, every library, a CMake package (targets vq::<name>) and
# pkg-config files.
include(CMakePackageConfigHelpers)

install(DIRECTORY include/vq DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
get_property(vq_targets GLOBAL PROPERTY VQ_INSTALL_TARGETS)
install(TARGETS ${vq_targets} EXPORT vqaddonsTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A MinGW build's DLLs need the compiler's runtime DLLs beside them on Windows.
if(WIN32 AND VQ_MINGW_RUNTIME_DLLS)
  install(FILES ${VQ_MINGW_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(EXPORT vqaddonsTargets NAMESPACE vq:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vqaddons)
configure_package_config_file(cmake/vqaddonsConfig.cmake.in
  ${CMAKE_BINARY_DIR}/vqaddonsConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vqaddons)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/vqaddonsConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/vqaddonsConfig.cmake ${CMAKE_BINARY_DIR}/vqaddonsConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/vqaddons)
